// The display manager's back buffer seen as a surface: where a transition item without a drawn
// surface draws. It asks the manager for the buffer each time, so it follows mode switches that
// make a new one.
#pragma once

#include <cstdint>

#include "graphics/surface/keyless_directdraw_surface.h"

namespace bw {

class DisplayManager;
namespace host {
class MemorySurface;
}

class BackBufferSurface final : public KeylessDirectDrawSurface {
 public:
  // Null: no buffer.
  void Attach(const DisplayManager* display) { display_ = display; }
  host::MemorySurface* GetDirectDrawSurface() const;

  int GetKind() const override { return kKindDirectDrawSurface; }
  int32_t GetWidth() const override;
  int32_t GetHeight() const override;
  [[nodiscard]] int Restore(int) override { return 0; }

 private:
  const DisplayManager* display_ = nullptr;
};

}  // namespace bw
