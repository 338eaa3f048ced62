// For this project's own programs: where libcorlink's diagnostics go.
//
// By default the library prints its error, retry and packet-dump messages on standard
// output, which is what hosts of the C interface expect. A program that keeps standard
// output for its own results defines this function once; the library then hands it every
// diagnostic's complete text instead. The library refers to it weakly, so programs that do
// not define it (and the tests, which install their own sink) are unaffected, and the
// library's exported symbols stay the IO_* functions alone.
#pragma once

#include <cstddef>

extern "C" __attribute__((visibility("default"))) void corlink_log_hook(const char* text,
                                                                        size_t length);
