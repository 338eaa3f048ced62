#pragma once
#include <cstdint>

#include "data/playback/source_kind.h"
#include "view/mesh/mesh_frame.h"

namespace pelorin {

// The sources the map shows, source 0 (the first source) first: the mesh builders, the
// map window and the sizing of the SNR plot read them through this. An adapter fixes which
// frame of each source is "the frame": a live model's frame published last, a recorded
// source's frame at the player's index. The two kinds differ only in which frame the map
// levels its picking and masked cells on: live, model 0's, shown or hidden; recorded, the
// last visible one built.
class MeshSources {
 public:
  virtual ~MeshSources() = default;
  virtual SourceKind Kind() const = 0;
  virtual int32_t Count() const = 0;
  virtual bool Visible(int32_t m) const = 0;
  // The frame size laid out for source m: the live layout fixed at Start (known before
  // the first frame arrives), or the recording's.
  virtual int32_t Width(int32_t m) const = 0;
  virtual int32_t Height(int32_t m) const = 0;
  virtual int32_t SourceTypeOf(int32_t m) const = 0;
  // Source m's frame with the source's range and mask-level flag; false while it has none.
  virtual bool Frame(int32_t m, MeshFrame& frame) const = 0;
};

}  // namespace pelorin
