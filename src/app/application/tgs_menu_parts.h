// The system menu's parts on the screen: the twelve buttons of "SYS/SM_BG.GMP" in a part group
// of their own and the base picture "SYS/SM_BASE.WGX" under them, the pointer's own controls set
// aside while they are up, and their "sp_fade" task. The frame decides what the menu does.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/application/tgs_windows.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "gui/gmp_part_loader.h"
#include "scenario/tgs/tgs_system_menu.h"

namespace bw {

class DisplayEffect;

// The menu's buttons belong to this part group while it is open.
constexpr int32_t kTgsMenuGroup = 1005;
constexpr int32_t kTgsMenuPriority = 900;
// Open: a picture or the button set cannot be had.
constexpr int kTgsMenuMissing = 2;

class TgsMenuParts final : public TgsMenuHost {
 public:
  // The menu goes where the frame's windows go; fadeOutMusic fades the music out over its ms.
  TgsMenuParts(const TgsWindowsPlace& place, std::function<void(uint32_t)> fadeOutMusic)
      : place_(place), fadeOutMusic_(std::move(fadeOutMusic)) {}
  ~TgsMenuParts() override { Close(); }
  TgsMenuParts(const TgsMenuParts&) = delete;
  TgsMenuParts& operator=(const TgsMenuParts&) = delete;

  void GetPointer(int32_t& x, int32_t& y, int& state) override;
  [[nodiscard]] int Open(int32_t x, int32_t y) override;
  void SetButton(int button, bool enabled, bool checked, const std::string& tooltip) override;
  [[nodiscard]] bool ButtonCorner(int button, int32_t& x, int32_t& y) override;
  void FocusButton(int button) override;
  [[nodiscard]] bool MovePointer(int32_t x, int32_t y) override;
  [[nodiscard]] bool SetMenuFade(bool fade, bool show) override;
  [[nodiscard]] bool FadeRunning() override;
  [[nodiscard]] int TakeClickedButton(uint32_t now) override;
  void FadeOutMusic(uint32_t ms) override {
    if (fadeOutMusic_) fadeOutMusic_(ms);
  }
  void Close() override;

  bool IsOpen() const { return open_; }
  UiControl* Button(int i) const;
  const Sprite& Base() const { return base_; }

 private:
  // The sprites the fade works on: the base and each button's.
  Sprite* PartSprite(int i) const;

  TgsWindowsPlace place_;
  std::function<void(uint32_t)> fadeOutMusic_;
  GmpPartLoader buttons_;
  ImageSurface baseImage_;
  Sprite base_;
  DisplayEffect* fade_ = nullptr;
  bool pushed_ = false;  // the pointer's controls were set aside
  bool open_ = false;
};

}  // namespace bw
