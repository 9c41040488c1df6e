// The dialog host of the program: the menu bar and every dialog drawn with Dear ImGui inside the
// game window, in the Japanese face. A dialog runs its own loop on the window thread: sends from
// other threads are served, events pumped, and the last frame is shown with the dialog over it.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/dialog/dialog_host.h"
#include "host/dialog/input_script.h"
#include "host/dialog/key_trickle.h"
#include "host/dialog/pointer_trickle.h"
#include "host/sdl/sdl_backend.h"

struct ImGuiContext;

namespace bw::host {

// The backend must outlive the host.
class ImGuiDialogHost final : public DialogHost {
 public:
  explicit ImGuiDialogHost(SdlBackend* backend);
  ~ImGuiDialogHost() override;
  ImGuiDialogHost(const ImGuiDialogHost&) = delete;
  ImGuiDialogHost& operator=(const ImGuiDialogHost&) = delete;

  [[nodiscard]] int RunDialog(HWND owner, Dialog& dialog) override;
  [[nodiscard]] FileChoice ChooseFile(HWND owner, const FileChooserRequest& request) override;
  [[nodiscard]] FolderChoice ChooseFolder(HWND owner, const FolderChooserRequest& request) override;
  [[nodiscard]] bool SetClipboardText(std::string_view cp932) override;
  void AttachMenu(HWND owner, Menu* menu) override;
  void OpenMenu(HWND owner) override;
  // In the owner's window when it is shown, else in a small window of its own; false without a
  // display or off the window thread.
  [[nodiscard]] bool ShowMessageBox(const MessageBoxRequest& request, int* answer) override;
  void CloseForStop() override;

  // Message boxes are drawn on SDL's invisible drivers too (tests on the dummy driver).
  void DrawBoxesWithoutDisplay(bool draw) { boxesWithoutDisplay_ = draw; }
  // Plays the steps into the window from the next pump on; each performed step and a step given
  // up are told on standard error ("brimwold: input: ...").
  void PlayInput(std::vector<InputStep> steps);
  // Whether every step played.
  bool InputDone() const { return inputNext_ >= input_.size(); }

  // Called after each frame a dialog loop shows, with the frame's number from 0; it may end the
  // dialog with EndDialog. For screenshots and for driving the real renderer in tests.
  void SetFrameHook(std::function<void(int frame)> hook) { frameHook_ = std::move(hook); }
  // Ends the dialog loop that runs now: a dialog with the button's answer, a chooser with
  // "chosen" when id is not 0.
  void EndDialog(int id);
  // Shows the menu bar in full screen as if Alt had been pressed.
  void OpenMenu();
  // Draws one frame of the menu bar now (no dialog running).
  void RefreshMenu();
  // Whether one of the menu's popups is open.
  bool IsMenuOpen() const;
  // The window the host draws in now; none when unbound.
  HWND DrawnIn() const { return window_; }
  // The characters of the CP932 text that the dialogs' face has no glyph for (UTF-8); all of
  // them while the host is unbound.
  std::string MissingGlyphs(std::string_view cp932) const;
  // Where the last frame drew the clickable item whose label starts with the UTF-8 text:
  // left, top, right, bottom in the window's pixels.
  std::optional<std::array<float, 4>> ShownItem(std::string_view utf8Label) const;

 private:
  [[nodiscard]] bool Bind(HWND owner);  // false when the owner has no SDL window
  void Unbind();
  bool Filter(const SDL_Event& event);
  // Runs frames until draw answers true or the loop is ended.
  void RunLoop(const std::function<bool()>& draw);
  void Frame(const std::function<bool()>& draw, bool* done);
  // The pointer's state for the frame being started, from the window's events.
  void FeedPointer();
  void FeedKeys();
  void SettleKeys();
  // The pointer's place and buttons as SDL knows them now, for a host just bound.
  PointerState PointerNow() const;
  void TakeDialogOffTheWindow();
  void ShowThePointerToTheGame();
  void DrawMenuBar();
  // Tells the menu's window when one of its popups opened or closed.
  void PostMenuLoop();
  void UpdateInset();
  // The backend is about to destroy the window's SDL objects.
  void WindowClosing(HWND hwnd);
  // Opens a hidden window for a box that has none to be drawn in; null when it cannot.
  HWND OpenBoxWindow(const std::string& titleCp932);
  // A box in its own window: the window takes the dialog's size and shows once it stands.
  void FitBoxWindow(float width, float height);
  // Where an item with a label was drawn in the frame being built.
  void NoteItem(const std::string& utf8Label);
  // One frame of the dialog RunDialog shows; true when the player ended it.
  struct DialogRun;
  bool DrawDialogFrame(DialogRun& run);
  void DrawDialogFields(DialogRun& run);
  bool DrawDialogButtons(DialogRun& run);
  // Between frames: what the player changed, the tick, the toggles and the actions.
  void RunDialogChanges(DialogRun& run);
  // At the start of each pump: the menu bar drawn again when its items changed, and one turn of
  // the input being played.
  void Pump();
  void PlayTurn();
  // Whether the item the step names stood still for a few frames (clickTarget_ then).
  [[nodiscard]] bool FindStill(const InputStep& step);
  [[nodiscard]] bool PlayClick(const InputStep& step);
  // Tells where the item stands on standard error once it stands still.
  [[nodiscard]] bool PlaySee(const InputStep& step);
  // Pushes a pointer's move to the window's point, a press and a release there.
  void PushClick(int x, int y);
  // Pushes the step's next key event once the one before has been held long enough; true after
  // the last.
  [[nodiscard]] bool PlayKey(const InputStep& step);
  void NextInputStep(const char* what);
  void GiveUpInput();

  struct DrawnItem {
    std::string label;  // UTF-8, without an ImGui id part
    float left = 0, top = 0, right = 0, bottom = 0;
    bool usable = true;  // not greyed
    bool operator==(const DrawnItem&) const = default;
  };

  SdlBackend* backend_;
  ImGuiContext* context_ = nullptr;
  HWND window_;
  SDL_Window* sdlWindow_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SdlSink* sink_ = nullptr;
  Menu* menu_ = nullptr;
  HWND menuWindow_;  // where the menu was attached: window_ or a popup it owns
  bool menuLoop_ = false;
  bool haveDrawData_ = false;
  bool inDialog_ = false;
  int loopDepth_ = 0;
  bool endRequested_ = false;
  int endId_ = 0;
  bool closeRequested_ = false;
  std::atomic<bool> stopping_{false};  // set from another thread by CloseForStop
  bool menuShown_ = false;             // full screen: after Alt/F10 or the pointer on the top edge
  bool openFirstMenu_ = false;
  bool closeMenu_ = false;
  bool menuHot_ = false;
  uint64_t drawnMenuChanges_ = 0;  // the menu's change count when the bar was last drawn
  bool altAlone_ = false;          // Alt is down and no other key went down since
  std::function<void(int frame)> frameHook_;
  bool boxesWithoutDisplay_ = false;
  // The running dialog's key fields take key presses through this; the event wait between frames.
  std::function<void(int scancode)> keyTaker_;
  int waitMs_ = 50;
  HWND boxWindow_;  // the box's own window while it is drawn there
  bool boxWindowShown_ = false;
  int boxWidth_ = 0;
  int boxHeight_ = 0;
  int boxStillFrames_ = 0;
  PointerTrickle pointer_;
  KeyTrickle keys_;
  // Input being played and what the last frames drew.
  std::vector<InputStep> input_;
  size_t inputNext_ = 0;
  int stepTurns_ = 0;
  uint32_t stepStartMs_ = 0;  // SDL's ticks as the step began
  int keyEvents_ = 0;         // of the key step
  uint32_t lastKeyMs_ = 0;    // SDL's ticks as the last of them went
  DrawnItem clickTarget_;
  int clickStillFrames_ = 0;
  uint64_t frameCount_ = 0;
  uint64_t clickSeenFrame_ = 0;
  std::vector<DrawnItem> frameItems_;      // the frame being built
  std::vector<DrawnItem> shownItems_;      // the last frame finished
  std::vector<DrawnItem> stepStartItems_;  // shownItems_ as the step before ended
};

}  // namespace bw::host
