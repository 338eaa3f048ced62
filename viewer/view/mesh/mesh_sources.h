#pragma once
#include <cstdint>

#include "view/mesh/mesh_frame.h"

namespace pelorin {

// The live models as the mesh operations read them, model 0 (the first source) first.
// The main window adapts its model list to this.
class LiveMeshSources {
 public:
  virtual ~LiveMeshSources() = default;
  virtual int32_t Count() const = 0;
  virtual bool Visible(int32_t m) const = 0;
  // The frame size laid out at Start, known before the first frame arrives.
  virtual int32_t Width(int32_t m) const = 0;
  virtual int32_t Height(int32_t m) const = 0;
  virtual int32_t SourceTypeOf(int32_t m) const = 0;
  // Model m's current frame; false while it has none.
  virtual bool CurrentFrame(int32_t m, MeshFrame& frame) const = 0;
};

// The recorded sources of a loaded file, source 0 first.
class PlaybackMeshSources {
 public:
  virtual ~PlaybackMeshSources() = default;
  virtual int32_t Count() const = 0;
  virtual bool Visible(int32_t m) const = 0;
  virtual int32_t Width(int32_t m) const = 0;
  virtual int32_t Height(int32_t m) const = 0;
  // Frame `index` of source m, with the source's range and its "had masked cells"
  // flag; false when the source has no such frame.
  virtual bool FrameAt(int32_t m, int32_t index, MeshFrame& frame) const = 0;
};

}  // namespace pelorin
