#include "natives/tgs_frame_natives.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "common/global.h"
#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/surface/surface.h"
#include "gui/text_panel.h"
#include "host/cp932.h"
#include "input/engine_input.h"
#include "input/input_binding_table.h"
#include "input/key_codes.h"
#include "input/keyboard_device.h"
#include "input/mouse.h"
#include "input/pointer_move_task.h"
#include "input/skip_modifier.h"
#include "natives/native_families.h"
#include "natives/native_helpers.h"
#include "natives/sound_helpers.h"
#include "platform/timer_service.h"
#include "savedata/save_data.h"
#include "savedata/save_sources.h"
#include "scenario/font_list.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_frame_host.h"
#include "script/guest_memory.h"
#include "script/native_names.h"
#include "sound/sound_channel_manager.h"

namespace bw {
namespace {

// The frame's host over the script application. The windows are the application's screen's;
// without one, preparing them answers a failure, so creation answers kTgsCreateSetup instead of
// running an invisible scenario.
class AppTgsHost : public TgsFrameHost {
 public:
  explicit AppTgsHost(ScriptHost& host) : host_(host) {}

  uint32_t Clock() override { return App() ? App()->Clock() : 0; }
  [[nodiscard]] int FrameTurn() override { return App() ? App()->TgsFrameTurn() : 0; }
  TgsAppState& AppState() override {
    TgsAppState* state = App() ? App()->TgsState() : nullptr;
    return state ? *state : ownState_;
  }
  const TgsUserSettings& Settings() override {
    if (!App() || !App()->ReadTgsSettings(settings_)) settings_ = TgsUserSettings{};
    return settings_;
  }
  [[nodiscard]] bool ReadGuestWord(uint32_t address, int32_t& value) override {
    uint32_t word = 0;
    if (!host_.GetMemory().Read32(address, word)) {
      host_.GetMemory().TakeFault();
      return false;
    }
    value = static_cast<int32_t>(word);
    return true;
  }
  [[nodiscard]] bool WriteGuestWord(uint32_t address, int32_t value) override {
    if (host_.GetMemory().Write32(address, static_cast<uint32_t>(value))) return true;
    host_.GetMemory().TakeFault();
    return false;
  }
  // A press on a system button is the button's: it fires on release, and must not also end the
  // wait as a click on the message.
  bool LeftClicked() override { return MouseButton(0) && !PointerOnControl(); }
  bool RightClicked() override { return MouseButton(1); }
  bool ActionPressed(int action) override {
    InputBindingTable* b = App() ? App()->Bindings() : nullptr;
    return b && action >= 0 && b->IsActionPressed(static_cast<uint32_t>(action));
  }
  int FindPressedAction(int first, int count) override {
    InputBindingTable* b = App() ? App()->Bindings() : nullptr;
    if (!b || first < 0 || count <= 0) return -1;
    return b->FindPressedAction(static_cast<uint32_t>(first), static_cast<uint32_t>(count));
  }
  bool KeyPressed(int code) override {
    KeyboardDevice* k = App() ? App()->Keyboard() : nullptr;
    return k && k->IsKeyPressed(code);
  }
  bool KeyDown(int code) override {
    KeyboardDevice* k = App() ? App()->Keyboard() : nullptr;
    return k && k->IsKeyDown(code);
  }
  // The modifier that also makes F1-F5 quick saves does not skip the message the save is
  // taken on.
  bool SkipModifierDown() override {
    const bool held = App() && IsSkipModifierDown(App()->Keyboard(), App()->SkipWithCtrl());
    if (held && App()->SkipWithCtrl() == Settings().shiftQuickSave) return true;
    bool quickKey = false;
    KeyboardDevice* k = held ? App()->Keyboard() : nullptr;
    for (int key = kKeyF1; k && key < kKeyF1 + kQuickSlots; ++key)
      quickKey = quickKey || k->IsKeyDown(key);
    return sharedSkip_.Skips(held, IsSkipModifierPressed(k, App() && App()->SkipWithCtrl()),
                             quickKey, Clock());
  }

  // The voice plays on channel 6; the answer is the speaking picture's place among the ids, or -1.
  int32_t PlayVoice(const std::string& name, std::span<const int32_t> characterIds) override {
    SoundChannelManager* sound = host_.SoundChannels();
    if (!sound) return -2;
    const int32_t count = static_cast<int32_t>(characterIds.size());
    int32_t r = sound->PlayVoiceByName(kVoiceChannel, name.c_str(), count,
                                       count > 0 ? characterIds.data() : nullptr);
    if (r < -1) return r;
    // A sound that does not play leaves silence; the story goes on.
    (void)sound->PlayChannel(kVoiceChannel, false);
    return count > 0 ? r : -1;
  }
  void SetVoicePan(int32_t pan) override {
    if (SoundChannelManager* sound = host_.SoundChannels())
      (void)sound->SetChannelPan(kVoiceChannel, pan);  // too few channels: no voice to pan
  }
  bool VoicePlaying() override {
    SoundChannelManager* sound = host_.SoundChannels();
    return sound && sound->IsChannelPlaying(kVoiceChannel);
  }
  void StopVoice() override {
    // Too few channels: no voice to stop.
    if (SoundChannelManager* sound = host_.SoundChannels()) (void)sound->StopChannel(kVoiceChannel);
  }
  bool SnapshotKept() override { return SaveDataOf(host_).HasSnapshot(); }
  [[nodiscard]] bool TakeSnapshot() override { return SaveDataOf(host_).TakeSnapshot() == 0; }
  // The automatic ring's next slot.
  [[nodiscard]] bool AutoSave() override {
    return SaveDataOf(host_).WriteSaveData(kAutoPage, -1) == 0;
  }
  // Quick slots 1-5 are the quick ring's files 5-9; slot 0 the ring's next one.
  // A failed save is also told in a box, with its reason: the caption alone is easily missed.
  [[nodiscard]] bool QuickSave(int slot) override {
    const int r = SaveDataOf(host_).WriteSaveData(kQuickPage, QuickFile(slot));
    if (r != 0 && App()) {
      App()->ShowMessage(host::Cp932Literal("セーブデータの作成に失敗しました。ErrNo:") +
                         std::to_string(r));
    }
    return r == 0;
  }
  // Quick slot 0 is the quick ring's newest. The save is read once the run has ended
  // (StepFrame): here it is only found.
  [[nodiscard]] bool QuickLoad(int slot) override {
    std::string name;
    if (SaveDataOf(host_).FindSaveFileName(name, kQuickPage, QuickFile(slot)) != 0) return false;
    host_.SetCurrentSaveName(name);
    AppState().loadedGame = 1;
    return true;
  }
  [[nodiscard]] bool SlotText(int slot, std::string& text) override {
    SaveData& saves = SaveDataOf(host_);
    int32_t file = QuickFile(slot);
    if (file < 0) {
      std::string newest;
      if (saves.FindSaveFileName(newest, kQuickPage, file) != 0) return false;
      for (file = kQuickRingFirst; file <= kRingLast; ++file) {
        if (saves.SlotPath(kQuickPage, file) == newest) break;
      }
    }
    return saves.GetSaveSlotCaption(&text, kQuickPage, file, kQuickCaptionStyle) == 0;
  }
  // The game keeps the frame's system sounds loaded in the low channels: each plays once as a
  // system sound (its switch and volume), the channel's kind given back after.
  void PlaySystemSound(int channel) override {
    SoundChannelManager* sound = host_.SoundChannels();
    SoundChannel* c = sound ? sound->GetChannel(channel) : nullptr;
    if (!c || !c->loaded) return;
    const uint8_t kind = c->kind;
    // The channel is there and both kinds have their bit; a sound that does not play leaves
    // silence.
    (void)sound->SetChannelKind(channel, kSystemSoundEffect);
    (void)sound->PlayChannel(channel, false);
    (void)sound->SetChannelKind(channel, kind);
  }
  SoundChannelManager* SoundChannels() override { return host_.SoundChannels(); }
  TimerService* SoundTimers() override { return GeneralTimerService(host_); }
  int32_t PlayBgmNumber(int32_t number, uint32_t fadeMs, bool loop) override {
    return bw::PlayBgmNumber(host_, number, fadeMs, loop);
  }
  int32_t CurrentBgmNumber() override { return bw::CurrentBgmNumber(host_); }
  bool MusicPlaying() override {
    SoundChannelManager* sound = host_.SoundChannels();
    return sound && sound->IsBgmPlaying();
  }

  void DuckMusicForVoice() override {
    SoundChannelManager* sound = host_.SoundChannels();
    const uint8_t percent = App() ? App()->BgmDuckSetting() : 0;
    if (sound && percent > 0 && percent < 100) {
      sound->DuckBgm(App()->GeneralTimers(), kVoiceChannel, static_cast<float>(percent) / 100.0f);
    }
  }

  // Captions go to the text panel; without one, to standard error.
  void ShowCaption(const std::string& cp932, uint32_t ms) override {
    if (SaveTextPanel* panel = App() ? App()->SaveTextPanelSource() : nullptr) {
      (void)panel->ShowCaption(cp932, ms);  // a caption not shown does not stop the save
    } else if (!cp932.empty()) {
      std::fprintf(stderr, "%s\n", host::Cp932ToUtf8Lenient(cp932).c_str());
    }
  }
  // The settings sheet and the save and load dialogs open between two steps; a load chosen
  // there is read once the run has ended.
  bool PostWindowRequest(int kind, const std::string& text) override {
    if (!App()) return false;
    switch (kind) {
      case kTgsRequestYesNo:
        answer_ = App()->RequestScriptDialog(2, text) == 1 ? 1 : 0;
        return true;
      case kTgsRequestSettings:
      case kTgsRequestSave:
      case kTgsRequestLoad:
        return App()->PostTgsDialog(kind);
      default:
        return false;
    }
  }
  [[nodiscard]] TgsRequestStart PollWindowRequest() override {
    switch (App() ? App()->PollTgsDialog() : 2) {
      case 0:
        return TgsRequestStart::kNotAccepted;
      case 1:
        return TgsRequestStart::kRunning;
      default:
        return TgsRequestStart::kDone;
    }
  }
  int32_t WindowRequestAnswer() override { return answer_; }
  void SetCursorVisible(bool visible) override {
    if (App()) App()->SetCursorVisible(visible);
  }

  // The lowest 23 lines of the 600-line screen, where the bar and the buttons sit.
  bool PointerLow() override {
    EngineInput* input = App() ? App()->PointerInput() : nullptr;
    return input && input->Pointer().y >= kLowPointerTop;
  }

  [[nodiscard]] bool StartPointerMove(int32_t x, int32_t y, uint32_t ms) override {
    TimedTask* task = nullptr;
    return bw::StartPointerMove(App(), x, y, ms, false, kPointerMoveStay, &task) == 0 && task;
  }
  bool PointerMoving() override {
    TimerService* timers = App() ? App()->GeneralTimers() : nullptr;
    return timers && timers->FindById(kTaskKindPointerMove);
  }
  void RemoveTasks(uint32_t kind) override {
    if (TimerService* timers = App() ? App()->GeneralTimers() : nullptr) timers->RemoveById(kind);
  }

  int TakePointerEvent() override { return Screen() ? Screen()->TakePointerEvent() : -1; }
  TgsSceneHost* SceneHost() override { return App() ? App()->TgsPages() : nullptr; }
  TgsHistoryView* HistoryView() override { return App() ? App()->TgsHistory() : nullptr; }
  TgsMenuHost* MenuHost() override { return App() ? App()->TgsMenu() : nullptr; }
  [[nodiscard]] int PrepareWindows() override {
    return Screen() ? Screen()->PrepareWindows() : kTgsSetupWindows;
  }
  void ReleaseWindows() override {
    if (Screen()) Screen()->ReleaseWindows();
  }
  void SetMessage(std::string_view text, const std::string& name, uint32_t revealMs) override {
    if (Screen()) Screen()->SetMessage(text, name, revealMs);
  }
  void ShowPage() override {
    if (Screen()) Screen()->ShowPage();
  }
  bool Typing() override { return Screen() && Screen()->Typing(); }
  void FinishTyping() override {
    if (Screen()) Screen()->FinishTyping();
  }
  void NextPage() override {
    if (Screen()) Screen()->NextPage();
  }
  void SetWindowVisible(bool visible) override {
    if (Screen()) Screen()->SetWindowVisible(visible);
  }
  void PlaceWindow(int32_t alignment, int32_t x, int32_t y) override {
    if (Screen()) Screen()->PlaceWindow(alignment, x, y);
  }
  void SetWindowAlpha(uint8_t alpha, bool withButtons) override {
    if (Screen()) Screen()->SetWindowAlpha(alpha, withButtons);
  }
  void SetWaitMarkAuto(bool autoPlay) override {
    if (Screen()) Screen()->SetWaitMarkAuto(autoPlay);
  }
  void SetButtonState(int button, int state) override {
    if (Screen()) Screen()->SetButtonState(button, state);
  }
  void ShowButtons(bool show) override {
    if (Screen()) Screen()->ShowButtons(show);
  }
  void ShowChoiceList(bool show) override {
    if (Screen()) Screen()->ShowChoiceList(show);
  }
  void FadeOtherChoices(int chosen) override {
    if (Screen()) Screen()->FadeOtherChoices(chosen);
  }
  bool ChoiceFadesRunning() override { return Screen() && Screen()->ChoiceFadesRunning(); }
  void SetMessageFont(const TgsFontState& font) override {
    if (Screen()) Screen()->SetMessageFont(font);
  }
  void SetMessageLook(const TgsUserSettings& user) override {
    if (Screen()) Screen()->SetMessageLook(user);
  }

  [[nodiscard]] int ViewNewLine() override {
    return Screen() ? Screen()->ViewNewLine() : kTgsViewNotBuilt;
  }
  [[nodiscard]] int ViewBeginRuby() override {
    return Screen() ? Screen()->ViewBeginRuby() : kTgsViewNotBuilt;
  }
  [[nodiscard]] int ViewDrawRuby(std::string_view ruby) override {
    return Screen() ? Screen()->ViewDrawRuby(ruby) : kTgsViewNotBuilt;
  }
  Sprite* WindowSprite() override { return Screen() ? Screen()->WindowSprite() : nullptr; }
  void SetHitAreaEnabled(bool enabled) override {
    if (Screen()) Screen()->SetHitAreaEnabled(enabled);
  }
  bool PointerOnControl() override { return Screen() && Screen()->PointerOnControl(); }
  void SetWindowFrame(int kind, uint32_t rgb, uint8_t alpha) override {
    if (Screen()) Screen()->SetWindowFrame(kind, rgb, alpha);
  }
  void RelayoutPage() override {
    if (Screen()) Screen()->RelayoutPage();
  }
  bool ChoicePoint(int32_t& x, int32_t& y) const override {
    return Screen() && Screen()->ChoicePoint(x, y);
  }

 private:
  static constexpr int32_t kVoiceChannel = 6;
  static constexpr int kQuickSlots = 5;
  static constexpr uint8_t kQuickCaptionStyle = 0;

  // Quick slots 1-5 are the quick ring's files 5-9; slot 0 the ring's newest (or next) one.
  static int32_t QuickFile(int slot) { return slot == 0 ? -1 : slot + kQuickRingFirst - 1; }
  static constexpr int32_t kLowPointerTop = 600 - 23;

  ScriptApplication* App() const { return host_.Application(); }
  TgsPresentation* Screen() const { return App() ? App()->TgsScreen() : nullptr; }
  bool MouseButton(int button) const {
    Mouse* m = App() ? App()->GetMouse() : nullptr;
    return m && m->IsButtonPressed(button);
  }

  ScriptHost& host_;
  TgsAppState ownState_;
  TgsUserSettings settings_;
  int32_t answer_ = 0;
  SharedSkipModifier sharedSkip_;
};

TgsFrameNativeState& State(NativeArgs& a) {
  return a.Host().Extension<TgsFrameNativeState>();
}

// The application's message box (error icon); without an application, standard error.
void Tell(ScriptHost& host, const std::string& cp932) {
  if (ScriptApplication* app = host.Application()) {
    app->ShowMessage(cp932);
  } else {
    std::fprintf(stderr, "%s\n", host::Cp932ToUtf8Lenient(cp932).c_str());
  }
}

// The faces of the application's font list (filled with the Japanese faces when empty), compared
// without the "@" of vertical faces; without a list every face is taken.
std::function<bool(std::string_view)> InstalledFaces(ScriptApplication* app) {
  return [app](std::string_view face) {
    FontList* fonts = app ? app->Fonts() : nullptr;
    if (!fonts) return true;
    if (fonts->Count() == 0) fonts->Enumerate(FontList::kJapaneseFilter, host::SHIFTJIS_CHARSET);
    for (int i = 0; i < fonts->Count(); ++i) {
      const host::LOGFONTA* font = fonts->Get(i);
      std::string_view name(font->lfFaceName, strnlen(font->lfFaceName, sizeof font->lfFaceName));
      if (name.starts_with('@')) name.remove_prefix(1);
      if (name == face) return true;
    }
    return false;
  };
}

// A statement of the running scenario links every native: the frame it runs in must not be made
// anew, destroyed or stepped again under it.
bool RefusedWhileStepping(NativeArgs& a, uint32_t native) {
  if (!State(a).Stepping()) return false;
  std::fprintf(stderr,
               "brimwold: native %u refused: the scenario frame is running a step (a statement of "
               "its scenario called it)\n",
               native);
  return true;
}

int32_t CreateFrame(NativeArgs& a) {
  if (RefusedWhileStepping(a, 791)) return kTgsFrameBusy;
  TgsFrameNativeState& s = State(a);
  s.Destroy();
  CanvasLayer* canvas = nullptr;
  if (a.U32(0) != 0) {
    auto* surface = a.Handle<Surface>(0, ScriptObjectType::kSurface);
    if (!surface || surface->GetKind() != kKindCanvasLayer) return kTgsCreateBadCanvas;
    canvas = dynamic_cast<CanvasLayer*>(surface);
  }
  if (s.UseCanvas(canvas) != 0) return kTgsCreateSetup;
  ScriptApplication* app = a.Host().Application();
  try {
    auto frame =
        std::make_unique<TgsFrame>(&a.Host(), app ? app->ScriptFiles() : nullptr, s.FrameHost());
    std::vector<uint8_t> table;
    // A missing table reads as an empty one, which the set-up refuses: it needs one entry.
    if (app && app->ScriptFiles()) (void)app->ScriptFiles()->Load("DATA\\BG.TXT", table);
    if (frame->Setup({reinterpret_cast<const char*>(table.data()), table.size()}) != 0) {
      return kTgsCreateSetup;
    }
    frame->SetInstalledFaces(InstalledFaces(app));
    // The nested run's load and Jump messages go to the player, as the step's own do.
    ScriptHost& host = a.Host();
    frame->SetMessageSink([&host](const std::string& cp932) { Tell(host, cp932); });
    // The folder is a name given here: it cannot be refused.
    (void)frame->SetScriptFolder("SCRIPT\\");
    if (frame->LoadInitTable("TGS_INIT.DAT") > kTgsTableMissing) return kTgsCreateInitTable;
    frame->SetLogFolder(app ? app->SaveFolder() : std::string());
    // The name is given here; a log missing or unreadable leaves every message unread.
    (void)frame->SetLogFileName("TEXT_LOG.DAT");
    (void)frame->ReadLogFile(nullptr);
    s.Adopt(std::move(frame));
  } catch (...) {
    s.Destroy();
    return kTgsCreateOther;
  }
  return 0;
}

int32_t DestroyFrame(NativeArgs& a) {
  if (RefusedWhileStepping(a, 792)) return kTgsFrameBusy;
  State(a).Destroy();
  return 0;
}

int32_t StepFrame(NativeArgs& a) {
  if (RefusedWhileStepping(a, 793)) return kTgsFrameBusy;
  TgsFrame* frame = State(a).Frame();
  if (!frame) {
    Tell(a.Host(), host::Cp932Literal("TGSフレームが初期化されていません。"));
    return kTgsStepNoFrame;
  }
  std::string name;
  bool isNull = false;
  if (!a.Text(0, name, &isNull)) return kTgsStepLoadFailed;
  const bool named = !isNull && !name.empty();
  if (named && frame->Start(name) != 0) {
    std::string text = host::Cp932Literal("TGSスクリプト「%s」のロードに失敗。");
    text.replace(text.find("%s"), 2, name);
    Tell(a.Host(), text);
    return kTgsStepLoadFailed;
  }
  const TgsFrameNativeState::StepScope stepping(State(a));
  int r = frame->BeginRun(!named);
  if (r == 0) r = TgsRunStep(*frame);
  TgsAppState& state = State(a).FrameHost()->AppState();
  SaveData& saves = SaveDataOf(a.Host());
  // A game loaded from inside the scenario, or the way back to the previous choice, ends the run
  // (result 2 or 3) with the state only chosen: it is read now, between two runs, and the run
  // goes on from it with the scene rebuilt. A state that does not read leaves the frame as it
  // was, and the run goes on where it stopped.
  for (;;) {
    if (r == 2 && state.loadedGame != 0) {
      state.loadedGame = 0;
      (void)saves.LoadSaveData(-1, 0);
    } else if (r == 3 && frame->ExitCode() == 3 && saves.HasSnapshot()) {
      (void)saves.RestoreSnapshot();  // as the load above: the run goes on where it stopped
    } else {
      break;
    }
    r = frame->BeginRun(true);
    if (r == 0) r = TgsRunStep(*frame);
  }
  state.lastTgsResult = r;
  switch (RouteStepResult(r, state.endRequest != 0)) {
    case TgsStepRoute::kReturn1:
      return 1;
    case TgsStepRoute::kRestoreCursor:
      // A cursor that was not hidden stays as it is.
      (void)frame->RestoreCursor();
      return 0;
    case TgsStepRoute::kCaptionRenderEnd:
      State(a).FrameHost()->ShowCaption({}, kCaptionShortMs);
      [[fallthrough]];
    case TgsStepRoute::kRenderEnd:
      // Without a canvas to keep the last picture the end goes on all the same.
      (void)frame->RenderSceneToHost();
      [[fallthrough]];
    case TgsStepRoute::kEnd:
      return frame->End();
  }
  return 0;
}

int32_t SetFrameConfig(NativeArgs& a) {
  const uint32_t index = a.U32(0);
  if (index < 7) State(a).FrameHost()->AppState().config[index] = a.I32(1);
  return 0;
}

constexpr NativeEntry kEntries[] = {
    {Native::kTgsCreate, CreateFrame},
    {Native::kTgsDestroy, DestroyFrame},
    {Native::kTgsStep, StepFrame},
    {Native::kTgsSetConfig, SetFrameConfig},
};

constexpr NativeRange kNumbers[] = {{791, 794}};

}  // namespace

TgsFrameCanvas::TgsFrameCanvas() = default;

TgsFrameCanvas::~TgsFrameCanvas() {
  Release(Global<DisplayManager>::Get());
}

int TgsFrameCanvas::Use(CanvasLayer* given, DisplayManager* display) {
  if (given) {
    if (!given->GetPixels()) return kTgsCreateSetup;
    // A refused canvas leaves the screen as it was.
    if (display && display->GetScreenCanvas() != given) (void)display->SetScreenSurface(given);
    Release(display);
    return 0;
  }
  if (!display) return 0;
  if (!canvas_) {
    const Rect& size = display->CanvasRect();
    auto canvas = std::make_unique<CanvasLayer>();
    auto offscreen = std::make_unique<OffscreenLayer>();
    if (canvas->Create(size.Width(), size.Height(), 32, kLayerComposed) != kLayerDone ||
        offscreen->Create(size.Width(), size.Height(), 32, true) != kLayerDone ||
        canvas->SetLinkedLayer(offscreen.get()) != kLayerDone) {
      return kTgsCreateSetup;
    }
    canvas_ = std::move(canvas);
    offscreen_ = std::move(offscreen);
  }
  // A refused canvas leaves the screen as it was.
  if (display->GetScreenCanvas() != canvas_.get()) (void)display->SetScreenSurface(canvas_.get());
  return 0;
}

void TgsFrameCanvas::Release(DisplayManager* display) {
  if (!canvas_) return;
  // A null one only unlinks, which cannot fail.
  if (display && display->GetScreenCanvas() == canvas_.get())
    (void)display->SetScreenSurface(nullptr);
  if (leaving_) leaving_();
  // A null one only unlinks, which cannot fail.
  (void)canvas_->SetLinkedLayer(nullptr);
  canvas_.reset();
  offscreen_.reset();
}

TgsFrameNativeState::TgsFrameNativeState(ScriptHost& host)
    : appHost_(std::make_unique<AppTgsHost>(host)), frameHost_(appHost_.get()) {
  // The application's windows stand on the screen they were made on; asked for once the screen
  // has left the own canvas, they are made anew, so none is left on it when it goes.
  canvas_.SetLeaving([&host] {
    if (ScriptApplication* app = host.Application()) app->TgsScreen();
  });
}

TgsFrameNativeState::~TgsFrameNativeState() {
  Destroy();
  canvas_.Release(Global<DisplayManager>::Get());
}

void TgsFrameNativeState::SavePersistentData() {
  // A log that cannot be written keeps the one on disk: the marks of this run are lost only.
  if (frame_) (void)frame_->WriteLogFile(nullptr);
}

int TgsFrameNativeState::UseCanvas(CanvasLayer* given) {
  return canvas_.Use(given, Global<DisplayManager>::Get());
}

void TgsFrameNativeState::SetFrameHost(TgsFrameHost* host) {
  frameHost_ = host ? host : appHost_.get();
}

void TgsFrameNativeState::Destroy() {
  if (!frame_) return;
  if (TheTgsFrame::Get() == frame_.get()) TheTgsFrame::Clear();
  frame_.reset();
}

void TgsFrameNativeState::Adopt(std::unique_ptr<TgsFrame> frame) {
  Destroy();
  frame_ = std::move(frame);
  TheTgsFrame::Set(frame_.get());
}

const NativeFamily& TgsFrameNativeFamily() {
  static const NativeFamily family{"tgs frame", kEntries, kNumbers};
  return family;
}

}  // namespace bw
