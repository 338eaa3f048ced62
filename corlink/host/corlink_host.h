// What libcorlink offers this project's own programs beyond its C interface: the log sink
// and the whole device list. The C interface (corlink.h) stays the library's only exported
// symbols; instead, when the library is loaded into a program that defines
// corlink_host_attach, it hands that function this table before the program starts.
#pragma once

#include <cstddef>

struct CorlinkHostApi {
  // Every later diagnostic goes to sink as one complete text (nullptr: standard output).
  void (*set_log_sink)(void (*sink)(const char* text, size_t length));
  // Calls found once per device discovery recognises, with the path it would open and the
  // device type, in enumeration order. Nothing is opened.
  void (*list_devices)(void (*found)(const char* path, int type, void* context), void* context);
};

// Defined by the program; called once, at library load, before main. Keep it to storing
// the pointer: the program's own static objects are not yet built then.
extern "C" __attribute__((visibility("default"))) void corlink_host_attach(
    const CorlinkHostApi* api);
