// The settings sheet as the dialog host draws it in a game's window of 800 x 600 under its menu
// bar, on SDL's dummy driver.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "app/dialogs/settings_sheet.h"
#include "common/global.h"
#include "host/cp932.h"
#include "host/dialog/imgui_dialog_host.h"
#include "host/sdl_window_fixture.h"

namespace bw {
namespace {

constexpr int32_t kWindowWidth = 800;
constexpr int32_t kWindowHeight = 622;

struct QuietApp : SettingsSheetHost {
  void ApplySound(const UserConfig&) override {}
  void ApplyKeys() override {}
  void ApplyJoystick() override {}
  std::vector<std::string> FontFaces() override { return {host::Cp932Literal("ＭＳ ゴシック")}; }
};

class DrawnSheet : public host::SdlWindowFixture {
 protected:
  DrawnSheet() : SdlWindowFixture(host::DefWindowProc, "sheet", kWindowWidth, kWindowHeight) {}
  void SetUp() override {
    SdlWindowFixture::SetUp();
    dialogs_ = std::make_unique<host::ImGuiDialogHost>(backend_.get());
    use_ = std::make_unique<ScopedGlobal<host::DialogHost>>(dialogs_.get());
  }
  void TearDown() override {
    use_.reset();
    dialogs_.reset();
    SdlWindowFixture::TearDown();
  }

  std::unique_ptr<host::ImGuiDialogHost> dialogs_;
  std::unique_ptr<ScopedGlobal<host::DialogHost>> use_;
};

// Every page stands in the same place with its buttons where they were, inside the window: the
// sheet does not jump when the page changes, and no page pushes OK out of reach.
TEST_F(DrawnSheet, EveryPageKeepsTheButtonsInOnePlaceInsideTheWindow) {
  std::vector<std::array<float, 4>> okPlaces;
  for (int page = 0; page < kSettingsPageCount; ++page) {
    UserConfig config;
    config.lastSettingsPage = static_cast<uint8_t>(page);
    QuietApp app;
    std::optional<std::array<float, 4>> ok;
    int frames = 0;
    // The sheet stands from its second frame (the loop's own count starts again after each tick
    // of the previews).
    dialogs_->SetFrameHook([&](int) {
      if (++frames < 3) return;
      ok = dialogs_->ShownItem("OK");
      dialogs_->EndDialog(kSettingsSheetCancel);
    });
    RunSettingsSheet(config, app, window_);
    ASSERT_TRUE(ok.has_value()) << "page " << page;
    okPlaces.push_back(*ok);
    EXPECT_LE((*ok)[3], float(kWindowHeight)) << "page " << page;
    EXPECT_LE((*ok)[2], float(kWindowWidth)) << "page " << page;
  }
  for (size_t page = 1; page < okPlaces.size(); ++page)
    EXPECT_EQ(okPlaces[page], okPlaces[0]) << "page " << page;
}

}  // namespace
}  // namespace bw
