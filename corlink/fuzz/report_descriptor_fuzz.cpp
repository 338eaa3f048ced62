// Arbitrary bytes as a device's report descriptor: the parser must never read out of
// bounds, grow without limit or hang, and classification must accept whatever it yields.
#include <cstdint>
#include <cstdlib>

#include "discovery/discovery.h"
#include "hid/report_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const corlink::hid::ParsedDescriptor p = corlink::hid::ParseReportDescriptor(data, size);
  if (!p.ok && (!p.collections.empty() || p.error.empty())) std::abort();
  if (p.collections.size() > corlink::hid::kMaxCollections) std::abort();
  for (const auto& c : p.collections) {
    if (c.inputs.size() > corlink::hid::kMaxEntriesPerCollection ||
        c.outputs.size() > corlink::hid::kMaxEntriesPerCollection ||
        c.features.size() > corlink::hid::kMaxEntriesPerCollection)
      std::abort();
    (void)corlink::TypeByLayout(c);
  }
  return 0;
}
