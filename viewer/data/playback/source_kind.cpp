#include "data/playback/source_kind.h"

namespace pelorin {

SourceKind SourcesShownIn(RunMode mode) {
  switch (mode) {
    case RunMode::Live:
    case RunMode::Idle: return SourceKind::Live;
    case RunMode::Playing:
    case RunMode::Paused: return SourceKind::Recorded;
  }
  // A value outside the enumeration: a recording is what the other states show.
  return SourceKind::Recorded;
}

}  // namespace pelorin
