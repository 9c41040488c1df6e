#include "scenario/tgs/tgs_system_menu.h"

#include <algorithm>

#include "host/cp932.h"
#include "input/key_codes.h"
#include "scenario/tgs/tgs_frame.h"

namespace bw {

namespace {

constexpr int32_t kScreenRight = 799;
constexpr int32_t kScreenBottom = 599;
constexpr int32_t kRightmost = 800 - kTgsMenuWidth;
constexpr int32_t kLowest = 600 - kTgsMenuHeight;
constexpr int32_t kHalfWidth = 66;
constexpr int32_t kRowHeight = 22;
constexpr int32_t kRowOffset = 19;
// Where on a button the pointer is put.
constexpr int32_t kButtonPointX = 58;
constexpr int32_t kButtonPointY = 11;
constexpr uint32_t kQuitFadeMs = 1000;

// What buttons 0-10 answer; 11 asks whether to quit.
constexpr int32_t kMenuResults[kTgsMenuQuitButton] = {9, 8, 17, 10, 11, 12, 13, 14, 15, 16, 18};

int32_t ClampAxis(int32_t v, int32_t highest, bool& moved) {
  if (v < 0) {
    moved = true;
    return 0;
  }
  if (v > highest) {
    moved = true;
    return highest;
  }
  return v;
}

}  // namespace

TgsMenuPlace PlaceSystemMenu(int32_t px, int32_t py, int state, int row) {
  const int32_t h = kRowHeight * row + kRowOffset;
  TgsMenuPlace p;
  if (px >= 0 && py >= 0) {
    p.x = ClampAxis(px - kHalfWidth, kRightmost, p.moved);
    p.y = ClampAxis(py - h, kLowest, p.moved);
  } else if (px == kPointerParked) {
    p.y = ClampAxis(py - h, kLowest, p.moved);
    p.x = state == kPointerParkedLeft ? 0 : kRightmost;
    p.moved = true;
  } else if (py == kPointerParked) {
    p.x = ClampAxis(px - kHalfWidth, kRightmost, p.moved);
    p.y = state == kPointerParkedTop ? 0 : kLowest;
    p.moved = true;
  } else {
    p.x = kRightmost;
    p.moved = true;
  }
  return p;
}

bool TgsFrame::MenuButtonEnabled(int button) {
  switch (button) {
    case 0:
      return buttons_[6] != 0;
    case 1:
      return buttons_[5] != 0;
    case 2:
      return buttons_[2] != 0;
    case 3:
      return buttons_[7] != 0;
    case 5:
    case 7:
      return App().quickSaveAllowed != 0;
    case 6:
    case 8:
      return App().quickLoadAllowed != 0;
    case 9:
      return App().settingsAllowed != 0;
    case 10:
      return App().titleAllowed != 0;
    default:
      return true;
  }
}

int32_t TgsFrame::SystemMenu() {
  TgsMenuHost* menu = H().MenuHost();
  if (!menu) return kMenuClosed;
  // A cursor that was not hidden stays as it is.
  (void)RestoreCursor();
  int32_t px = -1, py = -1;
  int state = 0;
  menu->GetPointer(px, py, state);
  // The setting comes from the player's file: a row past the last would name no button.
  const int row = std::min<int>(S().menuRow, kTgsMenuButtons - 1);
  const TgsMenuPlace place = PlaceSystemMenu(px, py, state, row);
  const bool atCorner = px == kScreenRight && py == kScreenBottom;
  if (menu->Open(place.x, place.y) != 0) return kMenuClosed;
  for (int b = 0; b < kTgsMenuButtons; ++b) {
    const bool enabled = MenuButtonEnabled(b);
    std::string tip;
    if (b == 1 && enabled) tip = host::Cp932Literal("次の選択肢までスキップ");
    menu->SetButton(b, enabled, b == 0 && autoPlay_, tip);
  }
  H().PlaySystemSound(kTgsSoundOpen);
  const bool fade = !S().noMenuFade && menu->SetMenuFade(true, true);
  // Without a fade task the parts show at once.
  if (!fade) (void)menu->SetMenuFade(false, true);
  if (atCorner) {
    menu->FocusButton(row);
  } else if (place.moved) {
    // A pointer that cannot be placed stays where it is; the menu stays open all the same.
    int32_t bx = 0, by = 0;
    // A pointer that cannot be placed stays where it is.
    if (menu->ButtonCorner(row, bx, by))
      (void)menu->MovePointer(bx + kButtonPointX, by + kButtonPointY);
  }

  int32_t result = kMenuClosed;
  for (;;) {
    if (!Turn()) {
      result = kMenuQuit;
      break;
    }
    const int clicked = menu->TakeClickedButton(H().Clock());
    if (clicked >= 0 && clicked < kTgsMenuQuitButton) {
      result = kMenuResults[clicked];
      break;
    }
    if (clicked == kTgsMenuQuitButton) {
      result = QuitFromMenu(*menu);
      break;
    }
    bool close = H().ActionPressed(kActionCancel) || H().RightClicked();
    if (!close && H().LeftClicked()) {
      menu->GetPointer(px, py, state);
      close = px < place.x || px >= place.x + kTgsMenuWidth || py < place.y ||
              py >= place.y + kTgsMenuHeight;
    }
    if (close) {
      H().PlaySystemSound(kTgsSoundOpen);
      break;
    }
  }
  if (fade) {
    // The fade task was there when the menu opened.
    (void)menu->SetMenuFade(true, false);
    while (menu->FadeRunning() && Turn()) {
    }
  }
  menu->Close();
  return result;
}

int32_t TgsFrame::QuitFromMenu(TgsMenuHost& menu) {
  if (AskYesNo(host::Cp932Literal("ゲームを終了します。\r\nよろしいですか？")) != 1) {
    return kMenuClosed;
  }
  if (S().fadeOutOnQuit) {
    H().PlaySystemSound(kTgsSoundAccept);
    menu.FadeOutMusic(kQuitFadeMs);
    TgsScene& scene = Scene();
    // Ending the transition cannot fail.
    (void)scene.EndPendingTransition();
    for (int i = 0; i < kTgsScreenSlots; ++i) scene.ReleaseEffect(&scene.ScreenSlot(i).effect);
    for (int page = 0; page < 2; ++page) {
      scene.ReleaseEffect(&scene.Background(page).effect);
      scene.ReleaseEffect(&scene.Background(page).quakeEffect);
    }
    // Clearing the back page cannot fail; a quit during the fade quits all the same.
    (void)scene.ClearBackgroundToColor(0, 1);
    (void)scene.ClearSprites(1, -1);
    (void)CrossFade(static_cast<int32_t>(kQuitFadeMs), 0, 0);
  }
  return kMenuQuit;
}

}  // namespace bw
