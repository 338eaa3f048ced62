// Hands the project's programs the library's log sink and device list (see
// corlink/host/corlink_host.h). The program's corlink_host_attach is referenced weakly: it
// is null in every other host, and it is no symbol the library defines.
#include "corlink_host.h"

#include "discovery/discovery.h"
#include "log_sink.h"

extern "C" __attribute__((weak, visibility("default"))) void corlink_host_attach(
    const CorlinkHostApi* api);

namespace corlink {

namespace {

void ListDevicesTo(void (*found)(const char* path, int type, void* context), void* context) {
  for (const ListedDevice& d : ListDevices()) found(d.path.c_str(), d.type, context);
}

const CorlinkHostApi kHostApi{SetLogSink, ListDevicesTo};

__attribute__((constructor)) void AttachHost() {
  if (corlink_host_attach != nullptr) corlink_host_attach(&kHostApi);
}

}  // namespace

}  // namespace corlink
