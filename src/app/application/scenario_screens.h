// The scenario frame's windows, text history screen, system menu and scene pages on the
// application's screen canvas: made on first use, and made anew on another screen's canvas.
#pragma once

#include <cstdint>
#include <memory>

#include "app/application/tgs_history_screen.h"
#include "app/application/tgs_menu_parts.h"
#include "app/application/tgs_scene_pages.h"
#include "app/application/tgs_windows.h"
#include "app/config/user_config.h"

namespace bw {

class DisplayManager;
class EngineInput;
class Mouse;
class PartManager;
class PointerTip;
class ScriptHost;
class TimerService;
struct TgsAppState;

// What the screens ask of the running application.
class ScenarioScreensHost {
 public:
  virtual ~ScenarioScreensHost() = default;
  [[nodiscard]] virtual uint32_t Clock() = 0;
  virtual Mouse* GetMouse() = 0;
  virtual EngineInput* PointerInput() = 0;
  // Null once the GUI is gone.
  virtual PartManager* ScreenParts() = 0;
  virtual PointerTip* ScreenTip() = 0;
  virtual TgsAppState* TgsState() = 0;
  // Null before the scripts start.
  virtual ScriptHost* GetScriptHost() = 0;
  virtual bool MenuItemEnabled(int item) const = 0;
  [[nodiscard]] virtual int SetMenuItemEnabled(int item, bool enabled) = 0;
};

class ScenarioScreens {
 public:
  // effectsTimers: the timer service the windows' effects and the kept scene's overlays run on.
  ScenarioScreens(ScenarioScreensHost& app, DisplayManager& display, TimerService& effectsTimers,
                  const UserConfig& user);
  ~ScenarioScreens();
  ScenarioScreens(const ScenarioScreens&) = delete;
  ScenarioScreens& operator=(const ScenarioScreens&) = delete;

  // Null while there is no screen to put them on.
  TgsPresentation* Windows();
  TgsHistoryView* History();
  TgsMenuHost* Menu();
  TgsSceneHost* Pages();
  // Each frame turn: the windows' timed work.
  void Tick(uint32_t now);
  // The windows, the history screen and the menu go with the GUI at shut-down, for good; the
  // pages after the frame that drew on them.
  void CloseWindows();
  void ClosePages();

 private:
  // Where the frame's windows and menu go on the screen; false while there is no screen.
  [[nodiscard]] bool PlaceOnScreen(TgsWindowsPlace& place);

  ScenarioScreensHost& app_;
  DisplayManager& display_;
  TimerService& effectsTimers_;
  const UserConfig& user_;
  std::unique_ptr<TgsWindows> windows_;
  // The history window draws with the windows' renderers.
  std::unique_ptr<TgsHistoryScreen> history_;
  std::unique_ptr<TgsMenuParts> menu_;
  std::unique_ptr<TgsScenePages> pages_;
  bool closed_ = false;
};

}  // namespace bw
