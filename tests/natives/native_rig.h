// A script host with every native family, for calling natives directly or from scripts, over an
// application fake that records what the natives ask of it.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/global.h"
#include "input/engine_input.h"
#include "input/input_manager.h"
#include "natives/native_families.h"
#include "platform/file_drop_target.h"
#include "platform/timer_service.h"
#include "script/native_names.h"
#include "script/script_host.h"
#include "script/script_test_util.h"

namespace bw {

class DisplayObject;
class Surface;

struct NativeAnswer {
  int32_t result = 0;
  bool faulted = false;
};

class NativeRigApp : public ScriptApplication {
 public:
  MemoryScriptFileSource files;
  uint32_t clock = 1000;

  ScriptFileSource* ScriptFiles() override { return &files; }
  std::string SaveFolder() override { return saveFolder; }
  bool TranslationOption() override { return false; }
  uint32_t Clock() override { return clock; }
  std::vector<std::string> messages;  // the message boxes shown, CP932
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void SetAppOption(uint32_t, uint32_t) override {}
  uint32_t GetAppOption(uint32_t) override { return 0; }
  std::span<const NativeFamily> NativeFamilies() override { return AllNativeFamilies(); }

  // The system natives' requests the tests read back; the answers they choose.
  std::string appTexts[3];
  std::string userText;
  std::string clipboard;
  bool clipboardWorks = true;
  std::string typed;
  struct Box {
    uint32_t kind;
    std::string title, text;
    uint32_t icon;
  };
  std::vector<Box> boxes;
  uint32_t boxAnswer = 1;
  std::vector<std::pair<std::string, bool>> opened;
  bool movesAllowed = true, atLastPixel = false, skipWithCtrl = false;
  bool keyRepeats = true;
  InputManager* input = nullptr;
  InputBindingTable* bindings = nullptr;
  TimerService timers;

  std::string GetAppText(uint32_t kind) override {
    return kind < 3 ? appTexts[kind] : std::string();
  }
  int32_t SetUserSetting(uint32_t group, uint32_t index, uint32_t) override {
    return group == 0 && index == 7 ? 1 : 0;
  }
  void SetUserText(const std::string& text) override { userText = text.substr(0, 31); }
  std::string GetUserText() override { return userText; }
  bool SetClipboardText(std::string_view text) override {
    if (clipboardWorks) clipboard = text;
    return clipboardWorks;
  }
  bool RequestInputText(std::string& text) override {
    text = typed;
    return true;
  }
  uint32_t RequestScriptBox(uint32_t kind, const std::string& title, const std::string& text,
                            uint32_t icon) override {
    boxes.push_back({kind, title, text, icon});
    return boxAnswer;
  }
  uint32_t RequestScriptDialog(uint32_t kind, const std::string& text) override {
    boxes.push_back({kind + 10, {}, text, 0});
    return boxAnswer;
  }
  bool OpenWithDesktop(const std::string& path, bool folder) override {
    opened.emplace_back(path, folder);
    return true;
  }
  bool PointerMovesAllowed() override { return movesAllowed; }
  bool PointerAtLastPixel() override { return atLastPixel; }
  bool SkipWithCtrl() override { return skipWithCtrl; }
  void SetKeyRepeats(bool on) override { keyRepeats = on; }
  InputBindingTable* Bindings() override { return bindings; }
  KeyboardDevice* Keyboard() override { return input ? input->Keyboard() : nullptr; }
  Mouse* GetMouse() override { return input ? input->GetMouse() : nullptr; }
  JoystickDevice* Joystick() override { return input ? input->GetJoystick(0) : nullptr; }
  TimerService* GeneralTimers() override { return &timers; }
  // Drops, and dialogs that answer with the choice set here (answer 0: cancelled).
  FileDropTarget drops;
  FileDialogRecord fileDialog;  // the last record asked for
  std::string dialogChoice;
  int32_t dialogAnswer = 0;
  void EnableFileDrops(bool on) override { drops.SetEnabled(host::HWND{}, on); }
  FileDropTarget* FileDrops() override { return &drops; }
  void RequestFileDialog(FileDialogRecord& record) override {
    fileDialog = record;
    record.answer = dialogAnswer;
    if (dialogAnswer) record.path = dialogChoice, record.fileTitle = "CHOSEN.DAT";
  }
  void RequestFolderDialog(FolderDialogRecord& record) override {
    record.answer = dialogAnswer;
    record.path = dialogAnswer ? dialogChoice : "";
  }
  // Sound natives: the device's answer, the warn-once byte and the warnings shown.
  int32_t soundDeviceAnswer = 0;
  uint8_t soundWarnOnce = 1;
  int soundWarningsShown = 0;
  bool loadWholeSetting = false;
  uint8_t duckSetting = 0;
  int32_t StartSoundDevice(bool, uint8_t, uint32_t, uint16_t) override { return soundDeviceAnswer; }
  uint8_t SoundWarnOnce() override { return soundWarnOnce; }
  void SetSoundWarnOnce(uint8_t value) override { soundWarnOnce = value; }
  bool ShowSoundWarning(const std::string&, uint8_t* checkState) override {
    *checkState = 0;  // the box left unticked must not bring the warning back
    return ++soundWarningsShown, true;
  }
  bool DecoderLoadWholeSetting() override { return loadWholeSetting; }
  uint8_t BgmDuckSetting() override { return duckSetting; }
  // Render and object-list natives: the part manager, font list and cache setting they reach.
  PartManager* parts = nullptr;
  FontList* fonts = nullptr;
  int64_t cacheBudget = -1;
  PartManager* ScriptPartManager() override { return parts; }
  TextPanel* textPanel = nullptr;
  TextPanel* ScriptTextPanel() override { return textPanel; }
  FontList* Fonts() override { return fonts; }
  int64_t ConfiguredImageCacheBudget() override { return cacheBudget; }
  // Save data: the folder, the scenario frame and text panel the tests set.
  std::string saveFolder = "SAVE\\";
  SaveFrameState* frame = nullptr;
  SaveTextPanel* panel = nullptr;
  SaveFrameState* SaveFrame() override { return frame; }
  SaveTextPanel* SaveTextPanelSource() override { return panel; }
  // GUI part natives: the pointer manager they drive.
  PointerManager* pointers = nullptr;
  PointerManager* ScriptPointerManager() override { return pointers; }
  // The flag the settings sheet raises when a text setting changed.
  uint8_t textSettingsChanged = 0;
  uint8_t* TextSettingsChangedFlag() override { return &textSettingsChanged; }
};

// A call and the answer it must give, named by the case it is.
struct NativeStep {
  const char* what;
  uint32_t number;
  std::vector<uint32_t> words;
  int32_t answer;
};

class NativeRig {
 public:
  NativeRigApp app;
  std::unique_ptr<ScriptHost> host;

  // A host started on MAIN's code lines.
  explicit NativeRig(const std::string& mainBody = " ret\n") {
    PutScript(app.files, "MAIN", mainBody);
    EXPECT_EQ(StartScriptHost(app, host), 0);
  }
  GuestMemory& Memory() { return host->GetMemory(); }
  ScriptHandles& Handles() { return host->Handles(); }

  // Calls native number with the given argument words (and a zero word after them), as the
  // interpreter does.
  NativeAnswer Call(uint32_t number, std::span<const uint32_t> words) {
    uint32_t args = Memory().Allocate(static_cast<uint32_t>(words.size() * 4 + 4));
    uint32_t at = args;
    for (uint32_t w : words) Memory().Write32(at, w), at += 4;
    return CallAt(number, args);
  }
  NativeAnswer Call(uint32_t number, std::initializer_list<uint32_t> words) {
    return Call(number, std::span<const uint32_t>(words.begin(), words.size()));
  }
  NativeAnswer CallAt(uint32_t number, uint32_t args) {
    for (const NativeFamily& family : AllNativeFamilies()) {
      for (const NativeEntry& e : family.entries) {
        if (e.number != number) continue;
        Memory().TakeFault();
        NativeArgs a(*host, Memory(), args);
        NativeAnswer answer{e.routine(a), false};
        answer.faulted = Memory().TakeFault();
        return answer;
      }
    }
    ADD_FAILURE() << "native " << number << " is in no family";
    return {};
  }
  // A guest copy of text with its terminator.
  uint32_t Text(const std::string& text) {
    return Memory().AllocateCopy({reinterpret_cast<const uint8_t*>(text.data()), text.size()},
                                 true);
  }
  uint32_t Block(uint32_t size) { return Memory().Allocate(size); }
  // The words in a block of just their size.
  uint32_t Words(std::span<const uint32_t> words) {
    const uint32_t at = Block(static_cast<uint32_t>(words.size() * 4));
    for (size_t k = 0; k < words.size(); ++k) Memory().Write32(at + 4 * uint32_t(k), words[k]);
    return at;
  }
  // The answer of a call that must not fault.
  int32_t Answer(uint32_t number, std::span<const uint32_t> words) {
    NativeAnswer answer = Call(number, words);
    EXPECT_FALSE(answer.faulted) << "native " << number;
    return answer.result;
  }
  int32_t Answer(uint32_t number, std::initializer_list<uint32_t> words) {
    return Answer(number, std::span<const uint32_t>(words.begin(), words.size()));
  }
  // The handle a native that makes an object answers.
  uint32_t Made(uint32_t number, std::initializer_list<uint32_t> words) {
    return uint32_t(Answer(number, words));
  }
  // The calls in turn, each to give its answer.
  void Expect(std::initializer_list<NativeStep> steps) {
    for (const NativeStep& s : steps) EXPECT_EQ(Answer(s.number, s.words), s.answer) << s.what;
  }
  // A guest variable holding value; a guest word read back.
  uint32_t Var(uint32_t value) {
    uint32_t at = Block(4);
    Memory().Write32(at, value);
    return at;
  }
  uint32_t Word(uint32_t at) { return GuestWord(Memory(), at); }
  uint32_t Give(ScriptObjectType type, const void* object) {
    return Handles().HandleOf(type, object);
  }
  // The handle of a picture (a layer's too) or of a display object.
  uint32_t Give(Surface* surface) { return Give(ScriptObjectType::kSurface, surface); }
  uint32_t Give(DisplayObject* object) { return Give(ScriptObjectType::kDisplayObject, object); }
  std::string Read(uint32_t address) {
    std::string s;
    EXPECT_TRUE(Memory().ReadCString(address, s, Memory().Top())) << address;
    return s;
  }
};

// Past the arena's used end: any access there faults.
inline uint32_t PastTheArena(GuestMemory& memory) {
  return memory.Top() + 64;
}

}  // namespace bw
