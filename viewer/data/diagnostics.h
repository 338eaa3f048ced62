// Where the viewer's data layer says what went wrong on its own (a read that is retried, a
// settings line it could not take): standard output by default, as the viewer has always
// shown them. A program whose standard output carries its results (pelorin-capture's
// summary and JSON) points them at another stream.
#pragma once

#include <cstdio>

namespace pelorin {

// Later diagnostics go to stream; nullptr goes back to standard output. Safe while
// another thread writes one.
void SetDiagnosticStream(std::FILE* stream);

// Formats like printf, writes the text to the diagnostic stream and flushes it.
void Diagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace pelorin
