// Test doubles of on-screen controls that never move: Base's placement, order and fading answer
// as a visible, opaque control at the origin, so a double defines only what its test watches.
#pragma once

#include <cstdint>

namespace bw::test {

template <typename Base>
class StillControl : public Base {
 public:
  using Base::Base;

  int32_t GetX() const override { return 0; }
  int32_t GetY() const override { return 0; }
  int SetPosition(int32_t, int32_t) override { return 0; }
  void SetVisible(bool) override {}
  bool IsVisible() const override { return true; }
  int SetOrder(int32_t, int32_t, bool) override { return 0; }
  int32_t GetOrder() const override { return 0; }
  int SetAlpha(int) override { return 0; }
  int GetAlpha() const override { return 255; }
};

}  // namespace bw::test
