// The system natives that reach the application: its state and settings, pacing and priority,
// the voice settings, boxes and dialogs, the desktop, time, stopwatches and input.
#include "natives/system_app_natives.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <utility>

#include "common/gone_notice.h"
#include "common/sjis.h"
#include "graphics/surface/sprite.h"
#include "host/clock.h"
#include "input/cursor_sprite.h"
#include "input/engine_input.h"
#include "input/input_binding_table.h"
#include "input/joystick_device.h"
#include "input/key_codes.h"
#include "input/keyboard_device.h"
#include "input/mouse.h"
#include "natives/native_helpers.h"
#include "natives/system_natives.h"
#include "platform/app_paths.h"
#include "resource/files/file_utils.h"
#include "sound/voice_table.h"

namespace bw {

namespace {

ScriptApplication* App(NativeArgs& a) {
  return a.Host().Application();
}
SystemNativeState& State(NativeArgs& a) {
  return a.Host().Extension<SystemNativeState>();
}
int32_t Bool(bool b) {
  return b ? 1 : 0;
}

constexpr uint32_t kLastStateIndex = 22;
constexpr uint32_t kAppTextKinds = 4;  // 3 has no text
constexpr uint32_t kTextSettingGroup = 2;
constexpr int32_t kBadKind = -1;
constexpr int32_t kVoiceRefused = -1;
// The display name of a character whose second text is wanted but missing: "？？？".
constexpr char kUnknownSpeaker[] = "\x81\x48\x81\x48\x81\x48";
constexpr uint32_t kInputTextBytes = 255;
constexpr int32_t kInputNullBuffer = 2;
constexpr int32_t kInputEmpty = 1;
constexpr uint32_t kLastCursorShape = 12;
constexpr uint32_t kSpecialFolderMax = 259;  // with the '\' and not counting the terminator

// Keys of the kept guest texts of native 9 and 11.
constexpr uint64_t kUserTextKey = 0xFFFFFFFFull << 8;
uint64_t VoiceKey(uint32_t character, uint32_t field) {
  return (uint64_t{character} << 8) | field;
}

}  // namespace

int32_t NativeSetWindowFeature(NativeArgs& a) {
  uint32_t kind = a.U32(0), value = a.U32(1);
  if (!a.Faulted() && App(a)) App(a)->SetWindowFeature(kind, value);
  return 0;
}

int32_t NativeGetAppState(NativeArgs& a) {
  uint32_t index = a.U32(0);
  if (a.Faulted() || !App(a) || index > kLastStateIndex) return 0;
  return static_cast<int32_t>(App(a)->GetAppState(index));
}

int32_t NativeGetAppText(NativeArgs& a) {
  uint32_t kind = a.U32(0), dest = a.U32(1);
  int64_t size = a.I32(2);
  if (a.Faulted() || kind >= kAppTextKinds) return kBadKind;
  std::string text = kind < 3 && App(a) ? App(a)->GetAppText(kind) : std::string();
  if (size == 0) return static_cast<int32_t>(text.size() + 1);
  if (dest == 0 || size < 0) return kBadKind;
  if (!GuestRange(a.Memory(), dest, size)) return kBadKind;
  // The range was checked above.
  (void)PutGuestText(a.Memory(), dest, sjis::Truncate(text, static_cast<size_t>(size - 1)));
  return 0;
}

int32_t NativeSetUserSetting(NativeArgs& a) {
  uint32_t group = a.U32(0), index = a.U32(1), value = a.U32(2);
  if (a.Faulted() || !App(a)) return 0;
  if (group == kTextSettingGroup && index == 0) {
    std::string text;
    if (a.Text(2, text)) App(a)->SetUserText(text);
    return 0;
  }
  return App(a)->SetUserSetting(group, index, value);
}

int32_t NativeGetUserSetting(NativeArgs& a) {
  uint32_t group = a.U32(0), index = a.U32(1);
  if (a.Faulted() || !App(a)) return 0;
  if (group == kTextSettingGroup && index == 0) {
    return static_cast<int32_t>(State(a).KeptText(kUserTextKey, App(a)->GetUserText()));
  }
  return static_cast<int32_t>(App(a)->GetUserSetting(group, index));
}

int32_t NativeSetVoiceSetting(NativeArgs& a) {
  uint32_t index = a.U32(0), field = a.U32(1), value = a.U32(2);
  std::vector<VoiceCharacter>& characters = a.Host().GetVoices().characters;
  if (a.Faulted() || index >= characters.size()) return kVoiceRefused;
  VoiceCharacter& c = characters[index];
  switch (field) {
    case 0:
      c.setting = value;
      return 0;
    case 1:
      c.enabled = static_cast<uint8_t>(value);
      return 0;
    case 2:
      c.hasSecondText = static_cast<uint8_t>(value);
      return 0;
    default:
      return kVoiceRefused;
  }
}

int32_t NativeGetVoiceInfo(NativeArgs& a) {
  uint32_t index = a.U32(0), field = a.U32(1);
  const VoiceTable& voices = a.Host().GetVoices();
  if (a.Faulted()) return 0;
  if (index >= voices.characters.size()) return static_cast<int32_t>(voices.characters.size());
  const VoiceCharacter& c = voices.characters[index];
  auto kept = [&](const std::string& text) {
    return static_cast<int32_t>(State(a).KeptText(VoiceKey(index, field), text));
  };
  switch (field) {
    case 0:
      return static_cast<int32_t>(c.setting);
    case 1:
      return c.enabled;
    case 2:
      return c.hasSecondText;
    case 3:
      return kept(c.name);
    case 4:
      return c.secondText ? kept(*c.secondText) : 0;
    case 5:
      if (!c.hasSecondText) return kept(c.name);
      return kept(c.secondText ? *c.secondText : std::string(kUnknownSpeaker));
    case 6:
      for (const VoiceAlias& alias : voices.aliases) {
        if (alias.character == index) return kept(alias.name);
      }
      return 0;
    default:
      return 0;
  }
}

// The player's text settings put into the script's text: its message window (a0), its choice
// list (a1) and the renderer it names (a2; 0 the shared default one), with the history, once
// after each change; whether they had changed.
int32_t NativeApplyTextSettings(NativeArgs& a) {
  const TextSettingsRequest request{.changedOnly = true,
                                    .clearFlag = true,
                                    .firstWidget = a.U32(0),
                                    .secondWidget = a.U32(1),
                                    .renderer = a.U32(2),
                                    .useRenderer = true,
                                    .history = true};
  if (a.Faulted()) return 0;
  return a.Host().ApplyTextSettings(request) ? 1 : 0;
}

int32_t NativeSetScreenMode(NativeArgs& a) {
  int32_t mode = a.I32(0);
  if (a.Faulted() || !App(a)) return kScreenModeRefused;
  return App(a)->SetScreenMode(mode);
}

template <uint32_t kWhich>
int32_t NativeSetScriptFlag(NativeArgs& a) {
  uint32_t value = a.U32(0);
  if (!a.Faulted() && App(a)) App(a)->SetScriptFlag(kWhich, (value & 1) != 0);
  return 0;
}
template int32_t NativeSetScriptFlag<0>(NativeArgs&);
template int32_t NativeSetScriptFlag<1>(NativeArgs&);

template <uint32_t (ScriptApplication::*Operation)()>
int32_t NativePacing(NativeArgs& a) {
  return App(a) ? static_cast<int32_t>((App(a)->*Operation)()) : 0;
}
template int32_t NativePacing<&ScriptApplication::PushVSyncWait>(NativeArgs&);
template int32_t NativePacing<&ScriptApplication::PopVSyncWait>(NativeArgs&);
template int32_t NativePacing<&ScriptApplication::PushPreciseTimingOff>(NativeArgs&);
template int32_t NativePacing<&ScriptApplication::PopPreciseTimingOff>(NativeArgs&);

int32_t NativeLowerFrameThreadPriority(NativeArgs& a) {
  return App(a) ? App(a)->LowerFrameThreadPriority() : kPriorityNoFrameThread;
}

int32_t NativeRestoreFrameThreadPriority(NativeArgs& a) {
  return App(a) ? App(a)->RestoreFrameThreadPriority() : 0;
}

int32_t NativeSetFrameRate(NativeArgs& a) {
  int32_t fps = a.I32(0);
  if (!a.Faulted() && App(a)) App(a)->UpdateFramePacing(fps);
  return 0;
}

int32_t NativeGetFrameRate(NativeArgs& a) {
  return App(a) ? App(a)->FrameRate() : 0;
}

int32_t NativePostAppCommand(NativeArgs& a) {
  uint32_t request = a.U32(0), send = a.U32(1);
  if (a.Faulted()) return 0;
  // A script has no record to hand the window thread: its private request sends nothing.
  return PostAppCommand(App(a), request, send, 0);
}

int32_t NativeGetInterruptArgument(NativeArgs& a) {
  return App(a) ? App(a)->InterruptArgument() : 0;
}

int32_t NativeSavePersistentData(NativeArgs& a) {
  return a.Host().SavePersistentData();
}

int32_t NativeTakeWindowRestoredFlag(NativeArgs& a) {
  return App(a) ? Bool(App(a)->TakeWindowRestoredFlag()) : 0;
}

int32_t NativeCopyToClipboard(NativeArgs& a) {
  uint32_t text = a.U32(0), size = a.U32(1);
  if (a.Faulted()) return 0;
  return CopyGuestTextToClipboard(App(a), a.Memory(), text, size);
}

int32_t NativeGetInputText(NativeArgs& a) {
  uint32_t dest = a.U32(0);
  if (a.Faulted()) return 0;
  if (dest == 0) return kInputNullBuffer;
  // The window thread fills the application's record; only this copies into the script.
  std::string text;
  if (App(a)) (void)App(a)->RequestInputText(text);  // none typed: the text stays empty
  std::string_view cut = sjis::Truncate(text, kInputTextBytes);
  if (!PutGuestText(a.Memory(), dest, cut)) return 0;
  return cut.empty() ? kInputEmpty : 0;
}

int32_t NativeSetupInputDialog(NativeArgs& a) {
  std::string prompt, defaultText;
  uint32_t flags = a.U32(2), limit = a.U32(3);
  int32_t x = a.I32(4), y = a.I32(5);
  if (!a.Text(0, prompt) || !a.Text(1, defaultText) || a.Faulted()) return 0;
  if (App(a)) App(a)->SetupInputDialog(prompt, defaultText, flags, limit, x, y);
  return 0;
}

template <uint32_t kKind>
int32_t NativeBox(NativeArgs& a) {
  std::string title, text;
  uint32_t icon = a.U32(2);
  if (!a.Text(0, title) || !a.Text(1, text) || a.Faulted() || !App(a)) return 0;
  uint32_t answer = App(a)->RequestScriptBox(kKind, title, text, icon);
  return kKind == 0 ? 0 : static_cast<int32_t>(answer);
}
template int32_t NativeBox<0>(NativeArgs&);
template int32_t NativeBox<1>(NativeArgs&);
template int32_t NativeBox<2>(NativeArgs&);

int32_t NativeMessageDialog(NativeArgs& a) {
  int32_t style = a.I32(0);
  std::string text;
  if (!a.Text(2, text) || a.Faulted() || !App(a)) return 0;
  constexpr uint32_t kTell = 0, kAsk = 2;
  return static_cast<int32_t>(App(a)->RequestScriptDialog(style > 0 ? kAsk : kTell, text));
}

template <bool kFolder>
int32_t NativeOpenWithDesktop(NativeArgs& a) {
  std::string path;
  bool isNull = false;
  if (!a.Text(0, path, &isNull) || isNull || !App(a))
    return kFolder ? static_cast<int32_t>(kOpenFolderBadPath) : 0;
  bool opened = App(a)->OpenWithDesktop(path, kFolder);
  if (!kFolder) return 0;
  return static_cast<int32_t>(opened ? kOpenFolderDone : kOpenFolderFailed);
}
template int32_t NativeOpenWithDesktop<false>(NativeArgs&);
template int32_t NativeOpenWithDesktop<true>(NativeArgs&);

int32_t NativeGetSpecialFolder(NativeArgs& a) {
  uint32_t dest = a.U32(0), kind = a.U32(1);
  // The Windows folder has no counterpart here.
  static constexpr int kFolders[] = {-1, kCsidlPersonal, kCsidlMyPictures, kCsidlAppData,
                                     kCsidlDesktop};
  if (a.Faulted() || dest == 0 || kind >= std::size(kFolders) || kFolders[kind] < 0) return 0;
  std::string folder;
  if (!GetSpecialFolderPath(folder, kFolders[kind])) return 0;
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  if (folder.size() > kSpecialFolderMax) return 0;
  return PutGuestText(a.Memory(), dest, folder) ? 1 : 0;
}

int32_t NativeSetAppFolder(NativeArgs& a) {
  std::string path;
  bool isNull = false;
  // The native answers 0 either way; a path that cannot be built keeps the folder as it was.
  if (a.Text(0, path, &isNull) && !isNull) (void)RebaseAppFolder(path);

  return 0;
}

int32_t NativeDesktopNothing(NativeArgs&) {
  return 0;
}

int32_t NativeGetLocalTime(NativeArgs& a) {
  host::WallTime t = host::GetLocalTime();
  const int32_t fields[] = {t.year, t.month, t.day, t.hour, t.minute};
  for (uint32_t k = 0; k < std::size(fields); ++k) {
    if (!a.Out32(k, static_cast<uint32_t>(fields[k]))) break;
  }
  return 0;
}

// 543-550: the stopwatch index is the low 16 bits (the bank takes care of it).
int32_t NativeStopwatch(NativeArgs& a, int op) {
  uint32_t i = a.U32(0), value = a.U32(1);
  if (a.Faulted()) return 0;
  TimerBank& bank = State(a).Stopwatches();
  switch (op) {
    case 0:
      return static_cast<int32_t>(bank.Create(i));
    case 1:
      return Bool(bank.Start(i));
    case 2:
      return static_cast<int32_t>(bank.GetElapsed(i));
    case 3:
      return Bool(bank.SetElapsed(i, value));
    case 4:
      return Bool(bank.Pause(i));
    case 5:
      return Bool(bank.Resume(i));
    case 6:
      return Bool(bank.PauseAll());
    default:
      return Bool(bank.ResumeAll());
  }
}
template <int kOp>
int32_t NativeStopwatchOp(NativeArgs& a) {
  return NativeStopwatch(a, kOp);
}
template int32_t NativeStopwatchOp<0>(NativeArgs&);
template int32_t NativeStopwatchOp<1>(NativeArgs&);
template int32_t NativeStopwatchOp<2>(NativeArgs&);
template int32_t NativeStopwatchOp<3>(NativeArgs&);
template int32_t NativeStopwatchOp<4>(NativeArgs&);
template int32_t NativeStopwatchOp<5>(NativeArgs&);
template int32_t NativeStopwatchOp<6>(NativeArgs&);
template int32_t NativeStopwatchOp<7>(NativeArgs&);

namespace {

InputBindingTable* Bindings(NativeArgs& a) {
  return App(a) ? App(a)->Bindings() : nullptr;
}
KeyboardDevice* Keys(NativeArgs& a) {
  return App(a) ? App(a)->Keyboard() : nullptr;
}
Mouse* MouseOf(NativeArgs& a) {
  return App(a) ? App(a)->GetMouse() : nullptr;
}
JoystickDevice* JoystickOf(NativeArgs& a) {
  return App(a) ? App(a)->Joystick() : nullptr;
}

}  // namespace

template <bool kPressed>
int32_t NativeActionTest(NativeArgs& a) {
  uint32_t action = a.U32(0);
  InputBindingTable* t = Bindings(a);
  if (a.Faulted() || !t) return 0;
  return Bool(kPressed ? t->IsActionPressed(action) : t->IsActionDown(action));
}
template int32_t NativeActionTest<true>(NativeArgs&);
template int32_t NativeActionTest<false>(NativeArgs&);

template <bool kPressed>
int32_t NativeFindAction(NativeArgs& a) {
  uint32_t first = a.U32(0), count = a.U32(1);
  InputBindingTable* t = Bindings(a);
  if (a.Faulted() || !t) return -1;
  return kPressed ? t->FindPressedAction(first, count) : t->FindHeldAction(first, count);
}
template int32_t NativeFindAction<true>(NativeArgs&);
template int32_t NativeFindAction<false>(NativeArgs&);

template <int kOp>
int32_t NativeBinding(NativeArgs& a) {
  uint32_t action = a.U32(0);
  int32_t device = a.I32(1);
  uint32_t code = a.U32(2), newCode = a.U32(3);
  InputBindingTable* t = Bindings(a);
  if (a.Faulted()) return 0;
  if (!t) return static_cast<int32_t>(kBindingNoDevice);
  if (kOp == 0)
    return static_cast<int32_t>(t->AddBinding(action, device, static_cast<uint8_t>(code)));
  if (kOp == 1)
    return static_cast<int32_t>(t->RemoveBinding(action, device, static_cast<uint8_t>(code)));
  return static_cast<int32_t>(t->ChangeBindingCode(action, device, static_cast<uint8_t>(newCode),
                                                   static_cast<int32_t>(code)));
}
template int32_t NativeBinding<0>(NativeArgs&);
template int32_t NativeBinding<1>(NativeArgs&);
template int32_t NativeBinding<2>(NativeArgs&);

template <uint32_t kAction, bool kPressed>
int32_t NativeFixedAction(NativeArgs& a) {
  InputBindingTable* t = Bindings(a);
  if (!t) return 0;
  return Bool(kPressed ? t->IsActionPressed(kAction) : t->IsActionDown(kAction));
}
#define BW_FIXED_ACTION(n)                                  \
  template int32_t NativeFixedAction<n, true>(NativeArgs&); \
  template int32_t NativeFixedAction<n, false>(NativeArgs&);
BW_FIXED_ACTION(0)
BW_FIXED_ACTION(1)
BW_FIXED_ACTION(2)
BW_FIXED_ACTION(3)
BW_FIXED_ACTION(4)
BW_FIXED_ACTION(5)
#undef BW_FIXED_ACTION

template <bool kPressed>
int32_t NativeSkipModifier(NativeArgs& a) {
  KeyboardDevice* k = Keys(a);
  if (!k) return 0;
  // Both Ctrl keys, else both Shift keys, by their key codes.
  const int pair[2] = {App(a)->SkipWithCtrl() ? 29 : 42, App(a)->SkipWithCtrl() ? 157 : 54};
  auto test = [&](int code) { return kPressed ? k->IsKeyPressed(code) : k->IsKeyDown(code); };
  return Bool(test(pair[0]) || test(pair[1]));
}
template int32_t NativeSkipModifier<true>(NativeArgs&);
template int32_t NativeSkipModifier<false>(NativeArgs&);

template <int kTest>
int32_t NativeKeyTest(NativeArgs& a) {
  int32_t code = a.I32(0);
  KeyboardDevice* k = Keys(a);
  if (a.Faulted() || !k) return 0;
  if (kTest == 0) return Bool(k->IsKeyPressed(code));
  if (kTest == 1) return Bool(k->IsKeyDown(code));
  return Bool(k->IsKeyReleased(code));
}
template int32_t NativeKeyTest<0>(NativeArgs&);
template int32_t NativeKeyTest<1>(NativeArgs&);
template int32_t NativeKeyTest<2>(NativeArgs&);

template <int kVirtualKey>
int32_t NativeKeyToggle(NativeArgs& a) {
  KeyboardDevice* k = Keys(a);
  return k ? k->Toggle(kVirtualKey) : 0;
}
template int32_t NativeKeyToggle<kVkScroll>(NativeArgs&);
template int32_t NativeKeyToggle<kVkCapital>(NativeArgs&);
template int32_t NativeKeyToggle<kVkNumLock>(NativeArgs&);

int32_t NativeSetKeyboardMode(NativeArgs& a) {
  uint32_t value = a.U32(0);
  if (!a.Faulted() && App(a)) App(a)->SetKeyRepeats(static_cast<uint8_t>(value) != 0);
  return 0;
}

int32_t NativeSetCursorShape(NativeArgs& a) {
  uint32_t shape = a.U32(0);
  Mouse* m = MouseOf(a);
  if (a.Faulted() || !m) return 0;
  // The game's own cursor resources are not carried: the default cursor stands for them. Taking
  // the animation away cannot fail; a shape the host lacks keeps the cursor shown.
  (void)m->SetAnimatedCursor(nullptr, 0, 0, false, 0, 0);
  (void)m->SetCursorShape(shape <= kLastCursorShape ? static_cast<int32_t>(shape) : 0, 0);
  return 0;
}

namespace {

// The display object the animated cursor draws with. The mouse keeps a pointer to this link, not
// to the object, so an object destroyed while it is the cursor only silences the link.
class DisplayCursorLink final : public CursorSprite {
 public:
  DisplayCursorLink() { AddGoneListener(&DisplayCursorLink::OnGone, this); }
  ~DisplayCursorLink() override { RemoveGoneListener(&DisplayCursorLink::OnGone, this); }

  // Answers the object attached before.
  DisplayObject* Attach(DisplayObject* object) {
    std::lock_guard hold(lock_);
    return std::exchange(object_, object);
  }
  int32_t Kind() const override {
    std::lock_guard hold(lock_);
    return AsSprite() ? kSpriteKindImage : kNotACursorKind;
  }
  bool HasImage() const override {
    std::lock_guard hold(lock_);
    return AsSprite() && AsSprite()->GetSource();
  }
  void SetVisible(bool visible) override {
    std::lock_guard hold(lock_);
    if (object_) object_->SetVisible(visible);
  }
  void MoveTo(int32_t x, int32_t y) override {
    std::lock_guard hold(lock_);
    if (object_) object_->SetPos(x, y);
  }
  int32_t SourceWidth() const override {
    std::lock_guard hold(lock_);
    return AsSprite() ? AsSprite()->GetSourceRect().Width() : 0;
  }
  void GetSourcePosition(int32_t* x, int32_t* y) const override {
    std::lock_guard hold(lock_);
    Rect r = AsSprite() ? AsSprite()->GetSourceRect() : Rect{};
    *x = r.left, *y = r.top;
  }
  void SetSourcePosition(int32_t x, int32_t y) override {
    std::lock_guard hold(lock_);
    if (Sprite* s = AsSprite()) {
      Rect r = s->GetSourceRect();
      Rect moved{x, y, ClampToInt32(int64_t{x} + r.right - r.left),
                 ClampToInt32(int64_t{y} + r.bottom - r.top)};
      // A sprite that cannot take it is shown as it was.
      (void)s->SetSourceRect(&moved);
    }
  }

 private:
  static constexpr int32_t kNotACursorKind = -1;
  Sprite* AsSprite() const {
    return object_ && !object_->IsColorRect() ? dynamic_cast<Sprite*>(object_) : nullptr;
  }
  static void OnGone(const void* object, void* self) {
    auto* link = static_cast<DisplayCursorLink*>(self);
    std::lock_guard hold(link->lock_);
    if (link->object_ == object) link->object_ = nullptr;
  }

  mutable std::mutex lock_;
  DisplayObject* object_ = nullptr;
};

DisplayCursorLink& CursorLink() {
  static DisplayCursorLink link;
  return link;
}

}  // namespace

int32_t NativeSetAnimatedCursor(NativeArgs& a) {
  DisplayObject* object = a.Handle<DisplayObject>(0, ScriptObjectType::kDisplayObject);
  int32_t frames = a.I32(1);
  uint32_t interval = a.U32(2);
  bool pingPong = a.U32(3) != 0;
  int32_t hotX = a.I32(4);
  int32_t hotY = a.I32(5);
  Mouse* m = MouseOf(a);
  if (a.Faulted() || !m) return 0;
  CursorSprite* sprite = nullptr;
  DisplayObject* previous = nullptr;
  if (object) {
    previous = CursorLink().Attach(object);
    sprite = &CursorLink();
  }
  uint32_t result = m->SetAnimatedCursor(sprite, frames, interval, pingPong, hotX, hotY);
  // A sprite without a picture is refused with the old cursor kept: it keeps its object too.
  if (result == kAnimatedNoImage || result == kAnimatedNoCellImage) CursorLink().Attach(previous);
  if (result == 0 && sprite && m->IsCursorVisible()) App(a)->SetCursorVisible(true);
  return static_cast<int32_t>(result);
}

int32_t NativeShowCursor(NativeArgs& a) {
  uint32_t visible = a.U32(0);
  if (!a.Faulted() && App(a)) App(a)->SetCursorVisible(visible != 0);
  return 0;
}

int32_t NativeGetCursorPosition(NativeArgs& a) {
  EngineInput* input = App(a) ? App(a)->PointerInput() : nullptr;
  PointerPosition p;
  if (input) p = input->Pointer();
  if (a.Out32(0, static_cast<uint32_t>(p.x))) a.Out32(1, static_cast<uint32_t>(p.y));
  return 0;
}

int32_t NativeSetCursorPosition(NativeArgs& a) {
  int32_t x = a.I32(0), y = a.I32(1);
  EngineInput* input = App(a) ? App(a)->PointerInput() : nullptr;
  if (!a.Faulted() && input) input->SetCursorPosition(x, y);
  return 0;
}

int32_t NativeIsPointerInWindow(NativeArgs& a) {
  return App(a) ? Bool(App(a)->PointerInWindow()) : 0;
}

template <int kButton, bool kPressed>
int32_t NativeMouseButton(NativeArgs& a) {
  Mouse* m = MouseOf(a);
  if (!m) return 0;
  return Bool(kPressed ? m->IsButtonPressed(kButton) : m->IsButtonDown(kButton));
}
template int32_t NativeMouseButton<kButtonLeft, true>(NativeArgs&);
template int32_t NativeMouseButton<kButtonRight, true>(NativeArgs&);
template int32_t NativeMouseButton<kButtonMiddle, true>(NativeArgs&);
template int32_t NativeMouseButton<kButtonLeft, false>(NativeArgs&);
template int32_t NativeMouseButton<kButtonRight, false>(NativeArgs&);
template int32_t NativeMouseButton<kButtonMiddle, false>(NativeArgs&);

template <int kButton>
int32_t NativeWheel(NativeArgs& a) {
  Mouse* m = MouseOf(a);
  a.Out32(0, m ? static_cast<uint32_t>(m->GetWheel()) : 0);
  if (a.Faulted() || !m) return 0;
  return Bool(m->IsButtonDown(kButton));
}
template int32_t NativeWheel<kButtonWheelUp>(NativeArgs&);
template int32_t NativeWheel<kButtonWheelDown>(NativeArgs&);

int32_t NativeGetJoystickState(NativeArgs& a) {
  JoystickDevice* j = JoystickOf(a);
  if (!j) return 0;
  // Bit n: code n held (directions, then buttons).
  uint32_t word = 0;
  for (int code = 0; code < 32; ++code) {
    if (j->IsDown(code)) word |= 1u << code;
  }
  return static_cast<int32_t>(word);
}

template <bool kPressed>
int32_t NativeJoyButton(NativeArgs& a) {
  uint32_t button = a.U32(0);
  JoystickDevice* j = JoystickOf(a);
  if (a.Faulted() || !j || button >= static_cast<uint32_t>(kJoyMaxButtons)) return 0;
  int code = kJoyFirstButton + static_cast<int>(button);
  return Bool(kPressed ? j->IsPressed(code) : j->IsDown(code));
}
template int32_t NativeJoyButton<true>(NativeArgs&);
template int32_t NativeJoyButton<false>(NativeArgs&);

}  // namespace bw
