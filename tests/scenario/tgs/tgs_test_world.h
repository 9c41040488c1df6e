// A scenario frame on a real script engine for the interpreter tests: a script table, variables
// (variable 0 holds four words), a library, natives 0-2 of the engine and native 3 (adds its two
// argument words), and built-ins 12-131 that record their calls.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "graphics/surface/image_surface.h"
#include "lib/tob/failing_operations.h"
#include "lib/tob/tob_assembler.h"
#include "scenario/tgs/tgs_builtins.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_frame_base.h"
#include "scenario/tgs/tgs_frame_host.h"
#include "scenario/tgs/tgs_history.h"
#include "scenario/tgs/tgs_interpreter.h"
#include "script/script_engine.h"
#include "script/script_file_source.h"
#include "script/script_test_util.h"

namespace bw {

struct RecordedCall {
  uint32_t number = 0;
  std::vector<TgsSlot> slots;
  std::vector<std::string> texts;  // per slot: its text, or "" for a slot without one
  int32_t chainSeen = 0;
};

struct BuiltinMock {
  std::vector<RecordedCall> calls;
  std::map<uint32_t, int32_t> results;  // answers by function number (0 when absent)
  static BuiltinMock*& Current() {
    static BuiltinMock* mock = nullptr;
    return mock;
  }
};

// Waits skip and count as the wait chain says; function 14 appends itself to collected text.
template <uint32_t N>
int32_t RecordingBuiltin(TgsBuiltinCall& call) {
  BuiltinMock& mock = *BuiltinMock::Current();
  RecordedCall r{N, {call.slots.begin(), call.slots.end()}, {}, call.interpreter.WaitChain()};
  for (const TgsSlot& s : call.slots) {
    std::string text;
    if ((s.flags & kTgsSlotText) && s.value)
      (void)call.interpreter.Memory().ReadCString(s.value, text, 4095);  // bad: read as empty
    r.texts.push_back(text);
  }
  mock.calls.push_back(r);
  if (N == 20) {
    int32_t& chain = call.interpreter.WaitChain();
    chain = chain ? chain + 1 : 1;
  }
  if (N == 14 && call.interpreter.CollectingText())
    (void)call.interpreter.AppendCallRecord(N, call.slots);  // the tests read what was kept
  auto it = mock.results.find(N);
  return it == mock.results.end() ? 0 : it->second;
}

template <uint32_t... I>
void RegisterRecorders(TgsFrameBase& frame, std::integer_sequence<uint32_t, I...>) {
  (TgsRegisterFunction(frame, &RecordingBuiltin<I + 12>), ...);
}

inline std::vector<uint8_t> Tob(const std::string& source, const tob::FaultSwitches& faults = {}) {
  tob::AssembleResult r = tob::Assemble(source, faults);
  EXPECT_TRUE(r.ok) << r.error << "\n" << source;
  return r.bytes;
}

// The main-script files a frame's engine starts from (one script SUB, a 16-byte variable, an
// empty library), loaded and published.
inline void LoadPlainEngine(MemoryScriptFileSource& files, ScriptEngine& engine) {
  files.Put("SCRIPT\\SOB_INIT.DAT", Sob(".table\n.script SUB 8 8\n"));
  files.Put("SCRIPT\\USER_VAR.SOB", Sob(".sob1\nv: .space 16\n.var 0 1 v 16\n"));
  files.Put("SCRIPT\\FUNC_LIB.SOB", Sob(".sob2\nlib: ret\n"));
  EXPECT_EQ(engine.LoadInitFiles("SCRIPT\\SOB_INIT.DAT", "SCRIPT\\USER_VAR.SOB",
                                 "SCRIPT\\FUNC_LIB.SOB", false, false),
            0);
  engine.PublishTables();
}

class TgsWorld {
 public:
  TgsWorld() : host_(&files_, 32u << 20) {
    Put("SCRIPT\\SOB_INIT.DAT", ".table\n.script SUB 8 8\n.script RUN 8 8\n");
    Put("SCRIPT\\USER_VAR.SOB", ".sob1\nv: .space 16\n.var 0 1 v 16\n");
    Put("SCRIPT\\FUNC_LIB.SOB", ".sob2\nlib: set 9, var:0\n ret\n");
    Put("SCRIPT\\SUB.SOB", ".sob0\n set 77, var:0\n ret\n");
    EXPECT_EQ(host_.LoadInitFiles("SCRIPT\\SOB_INIT.DAT", "SCRIPT\\USER_VAR.SOB",
                                  "SCRIPT\\FUNC_LIB.SOB", false, false),
              0);
    host_.RegisterNative([](GuestMemory& m, uint32_t args) {
      uint32_t a = 0, b = 0;
      m.Read32(args, a);
      m.Read32(args + 4, b);
      return static_cast<int32_t>(a + b);
    });
    host_.PublishTables();
    BuiltinMock::Current() = &mock_;
    frame_ = std::make_unique<TgsFrameBase>(&host_, &files_);
    EXPECT_EQ(frame_->SetScriptFolder("SCRIPT"), 0);
    RegisterRecorders(*frame_, std::make_integer_sequence<uint32_t, 120>{});
    frame_->SetOperations(&operations_);
    frame_->SetMessageSink([this](const std::string& m) { messages_.push_back(m); });
  }
  ~TgsWorld() { BuiltinMock::Current() = nullptr; }

  void Put(const std::string& name, const std::string& sobSource) {
    files_.Put(name, Sob(sobSource));
  }
  void PutTob(const std::string& name, const std::string& source,
              const tob::FaultSwitches& faults = {}) {
    files_.Put("SCRIPT\\" + name + ".TOB", Tob(source, faults));
  }
  // Starts a scenario of the given lines (a .tob1 script named RUN).
  int StartScenario(const std::string& lines, const tob::FaultSwitches& faults = {}) {
    PutTob("RUN", ".tob1\n" + lines, faults);
    return frame_->Start("RUN");
  }
  // Starts such a scenario and runs its first step.
  int Run(const std::string& lines) {
    EXPECT_EQ(StartScenario(lines), 0);
    return TgsRunStep(*frame_);
  }
  void SetVariable(uint32_t word, uint32_t value) {
    host_.GetMemory().Write32(host_.VariableValueAddress(0) + 4 * word, value);
  }
  uint32_t Variable(uint32_t word) {
    uint32_t v = 0;
    host_.GetMemory().Read32(host_.VariableValueAddress(0) + 4 * word, v);
    return v;
  }

  MemoryScriptFileSource& Files() { return files_; }
  ScriptEngine& Host() { return host_; }
  TgsFrameBase& Frame() { return *frame_; }
  BuiltinMock& Mock() { return mock_; }
  const std::vector<std::string>& Messages() const { return messages_; }

 private:
  MemoryScriptFileSource files_;
  ScriptEngine host_;
  BuiltinMock mock_;
  tob::FailingOperations operations_;
  std::unique_ptr<TgsFrameBase> frame_;
  std::vector<std::string> messages_;
};

// A scenario frame host whose clock moves 10 ms a turn; input and answers are scripted per turn.
class FakeFrameHost : public TgsFrameHost {
 public:
  TgsAppState state;
  TgsUserSettings settings;
  uint32_t clock = 1000;
  int turns = 0;
  int quitAtTurn = -1;
  int fullScreenMenuClosesAt = -1;
  std::pair<int, int> modalTurns{-1, -1};  // the application's own dialog stands open
  std::set<int> clickTurns;
  std::map<int, int> pointerEvents;  // turn -> event
  std::map<int, int> actionTurns;    // turn -> pressed action
  std::set<int> keysDown, keysPressed;
  bool skipHeld = false;
  int voiceTurns = 0;         // turns the voice plays
  int typingTurns = 0;        // turns the message view types before it is shown whole
  int secondTypingTurns = 0;  // turns the frame's second view types before it is shown whole
  int finishSecondCalls = 0;
  std::vector<std::pair<int, bool>> hitArea;  // (turn, enabled) of each switch of the hit area
  void SetHitAreaEnabled(bool enabled) override { hitArea.emplace_back(turns, enabled); }
  std::vector<std::string> captions, voices, requests, shown;  // shown: "name|text"
  std::map<int, int> buttonStates;
  std::map<uint32_t, int32_t> guest;
  bool postAccepted = true;
  int requestStartsAfter = 0;  // polls before the window thread takes the request
  int requestPolls = 0;
  bool cancelled = false;
  int32_t answer = 1;
  std::vector<bool> buttonsShown;  // each show (true) or hide of the system buttons

  uint32_t Clock() override { return clock; }
  int FrameTurn() override {
    ++turns;
    clock += 10;
    if (typingTurns > 0) --typingTurns;
    if (secondTypingTurns > 0) --secondTypingTurns;
    if (voiceTurns > 0) --voiceTurns;
    if (turns == fullScreenMenuClosesAt) state.fullScreenMenuMode = 0;
    state.modalOpen = turns >= modalTurns.first && turns < modalTurns.second;
    return turns == quitAtTurn ? 0 : 1;
  }
  TgsAppState& AppState() override { return state; }
  const TgsUserSettings& Settings() override { return settings; }
  bool WriteGuestWord(uint32_t address, int32_t value) override {
    return guest[address] = value, true;
  }
  bool ReadGuestWord(uint32_t address, int32_t& value) override {
    auto it = guest.find(address);
    return it != guest.end() && (value = it->second, true);
  }
  bool LeftClicked() override { return clickTurns.count(turns) != 0; }
  std::set<int> rightClickTurns;
  bool RightClicked() override { return rightClickTurns.count(turns) != 0; }
  int Action() { return actionTurns.count(turns) ? actionTurns[turns] : -1; }
  bool ActionPressed(int action) override { return action == Action(); }
  int FindPressedAction(int first, int count) override {
    return Action() >= first && Action() < first + count ? Action() : -1;
  }
  std::map<int, int> keyTurns;  // turn -> a key pressed on that turn alone
  bool KeyPressed(int code) override {
    return keysPressed.count(code) != 0 || (keyTurns.count(turns) && keyTurns[turns] == code);
  }
  bool KeyDown(int code) override { return keysDown.count(code) != 0; }
  bool SkipModifierDown() override { return skipHeld; }
  int TakePointerEvent() override {
    auto taken = pointerEvents.extract(turns);
    return taken ? taken.mapped() : -1;
  }
  int32_t PlayVoice(const std::string& name, std::span<const int32_t>) override {
    voices.push_back(name);
    return 0;
  }
  bool VoicePlaying() override { return voiceTurns > 0; }
  bool PostWindowRequest(int kind, const std::string& text) override {
    requests.push_back(std::to_string(kind) + ":" + text);
    requestPolls = 0;
    return postAccepted;
  }
  TgsRequestStart PollWindowRequest() override {
    return cancelled || requestPolls++ < requestStartsAfter ? TgsRequestStart::kNotAccepted
                                                            : TgsRequestStart::kDone;
  }
  void CancelWindowRequest() override { cancelled = true; }
  int32_t WindowRequestAnswer() override { return answer; }
  void ShowCaption(const std::string& cp932, uint32_t ms) override {
    captions.push_back(cp932);
    captionMs.push_back(ms);
  }
  std::vector<uint32_t> captionMs;
  bool Typing() override { return typingTurns > 0; }
  void FinishTyping() override { typingTurns = 0; }
  bool SecondViewTyping() override { return secondTypingTurns > 0; }
  void FinishSecondView() override { ++finishSecondCalls, secondTypingTurns = 0; }
  void SetButtonState(int button, int s) override { buttonStates[button] = s; }
  // Quick saves and loads; the system sounds played and the window's shows (turn, shown).
  bool quickWorks = false;
  bool QuickSave(int) override { return quickWorks; }
  bool QuickLoad(int) override { return quickWorks; }
  bool SlotText(int, std::string& text) override { return text = "slot", quickWorks; }
  std::vector<int> sounds;
  void PlaySystemSound(int channel) override { sounds.push_back(channel); }
  std::vector<std::pair<int, bool>> windowShows;
  void SetWindowVisible(bool visible) override { windowShows.push_back({turns, visible}); }
  void ShowButtons(bool show) override { buttonsShown.push_back(show); }
  void SetMessage(std::string_view text, const std::string& name, uint32_t) override {
    shown.push_back(name + "|" + std::string(text));
  }
  void RelayoutPage() override { ++relayouts; }
  std::vector<std::array<uint32_t, 3>> frames;  // the window's frames: kind, colour, opacity
  void SetWindowFrame(int kind, uint32_t rgb, uint8_t alpha) override {
    frames.push_back({uint32_t(kind), rgb, alpha});
  }
  int relayouts = 0;
  // The choice list's point, the end of the pointer's move, the task kinds removed and the
  // snapshots taken.
  bool choicePoint = false;
  uint32_t moveEnd = 0;
  std::vector<uint32_t> removedKinds;
  bool snapshotWorks = false;
  bool ChoicePoint(int32_t& x, int32_t& y) const override {
    x = 400, y = 280;
    return choicePoint;
  }
  bool StartPointerMove(int32_t, int32_t, uint32_t ms) override {
    moveEnd = clock + ms;
    return true;
  }
  bool PointerMoving() override { return clock < moveEnd; }
  void RemoveTasks(uint32_t kind) override { removedKinds.push_back(kind); }
  bool TakeSnapshot() override { return snapshotWorks; }
  TgsHistoryView* HistoryView() override { return historyView; }
  TgsHistoryView* historyView = nullptr;
  TgsSceneHost* SceneHost() override { return sceneHost; }
  TgsSceneHost* sceneHost = nullptr;  // the pages the frame's scene draws on
};

// Records what the history window asks of the screen; input comes per turn of the host.
class FakeHistoryView : public TgsHistoryView {
 public:
  static constexpr int32_t kLine = 30;
  explicit FakeHistoryView(const FakeFrameHost& host) : host_(host) {}

  int32_t LineHeight() override { return kLine; }
  int32_t MeasureText(std::string_view) override { return -1; }
  int Open(int32_t total, int32_t position) override {
    return opened.push_back({total, position}), scroll = position, 0;
  }
  void BeginPage() override { lines.clear(), ++pages; }
  void DrawName(std::string_view name, int32_t, uint32_t) override { lines.emplace_back(name); }
  void DrawText(std::string_view t, int32_t, uint32_t) override { lines.emplace_back(t); }
  void DrawChoice(std::string_view t, int32_t, uint32_t) override { lines.emplace_back(t); }
  void PlaceVoiceBox(int, int32_t, int32_t) override {}
  void SetScrollPosition(int32_t position) override { scrolls.push_back(scroll = position); }
  int32_t ScrollPosition() override { return scroll; }
  void SetAlpha(uint8_t alpha, uint8_t dark) override { alphas.push_back({alpha, dark}); }
  void SetHidden(bool h) override { hidden.push_back(h); }
  int TakeClickedBox() override { return At(clicks, -1); }
  int32_t Wheel() override { return At(wheel, 0); }
  ImageSurface* MakeSceneLayer() override { return screenIsScene = true, &scene; }
  void Close() override { screenIsScene = false, ++closes; }
  bool MenuItemEnabled(int item) override { return menu[item]; }
  void EnableMenuItem(int item, bool on) override { menu[item] = on; }
  void SetTextColor(uint32_t rgb) override { textColors.push_back(rgb); }
  void SetShadowColor(uint32_t rgb) override { shadowColors.push_back(rgb); }

  std::vector<std::pair<int32_t, int32_t>> opened;
  std::vector<std::string> lines;
  std::vector<std::pair<uint8_t, uint8_t>> alphas;
  std::vector<bool> hidden;
  std::vector<int32_t> scrolls;
  std::vector<uint32_t> textColors, shadowColors;
  std::map<int, int> clicks, wheel;  // turn -> box, turn -> wheel
  std::map<int, bool> menu{{0, true}, {1, false}, {2, true}};
  ImageSurface scene;
  bool screenIsScene = false;
  int closes = 0, pages = 0;
  int32_t scroll = 0;

 private:
  int At(const std::map<int, int>& m, int none) const {
    auto it = m.find(host_.turns);
    return it == m.end() ? none : it->second;
  }
  const FakeFrameHost& host_;
};

// Frames of the plain engine over scripts held in memory, on one fake host.
struct EngineFrames {
  EngineFrames() : engine(&files, 32u << 20) { LoadPlainEngine(files, engine); }
  // A frame on the engine, set up with setup when one is given.
  std::unique_ptr<TgsFrame> NewFrame(const char* setup = nullptr) {
    auto frame = std::make_unique<TgsFrame>(&engine, &files, &host);
    EXPECT_EQ(frame->SetScriptFolder("SCRIPT"), 0);
    if (setup) {
      EXPECT_EQ(frame->Setup(setup), 0);
    }
    return frame;
  }
  // The scenario RUN of the given lines.
  void PutRun(const std::string& lines) { files.Put("SCRIPT\\RUN.TOB", Tob(".tob1\n" + lines)); }
  // A frame set up with "1\n" that started the scenario RUN of lines and began its run.
  std::unique_ptr<TgsFrame> Begin(const std::string& lines) {
    PutRun(lines);
    auto frame = NewFrame("1\n");
    EXPECT_EQ(frame->Start("RUN"), 0);
    EXPECT_EQ(frame->BeginRun(false), 0);
    return frame;
  }
  // The frame's scene saved, at the size it announced.
  std::vector<uint8_t> Save(TgsFrame& frame, bool history = false) {
    std::vector<uint8_t> out;
    EXPECT_EQ(frame.SaveScene(out, history), 0);
    EXPECT_EQ(out.size(), frame.GetSceneSaveSize(history));
    return out;
  }

  MemoryScriptFileSource files;
  ScriptEngine engine;
  FakeFrameHost host;
};

// A frame without a script engine on a fake host of type Host.
template <typename Host = FakeFrameHost>
class FrameTest : public ::testing::Test {
 protected:
  MemoryScriptFileSource files;
  Host host;
  TgsFrame frame{nullptr, &files, &host};

  // Collects a message and shows it as built-in 16 does.
  int Message(const std::string& text, int32_t number = 0) {
    EXPECT_EQ(frame.BeginMessage(number), 0);
    frame.Text() = text;
    return frame.MessageWait();
  }
};

}  // namespace bw
