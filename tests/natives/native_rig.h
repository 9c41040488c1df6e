// A script host with every native family, for calling natives directly or from scripts.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>

#include "natives/native_families.h"
#include "script/script_host.h"
#include "script/script_test_util.h"

namespace bw {

struct NativeAnswer {
  int32_t result = 0;
  bool faulted = false;
};

class NativeRigApp : public ScriptApplication {
 public:
  MemoryScriptFileSource files;
  uint32_t clock = 1000;

  ScriptFileSource* ScriptFiles() override { return &files; }
  std::string SaveFolder() override { return "SAVE\\"; }
  bool TranslationOption() override { return false; }
  uint32_t Clock() override { return clock; }
  void ShowMessage(const std::string&) override {}
  void SetAppOption(uint32_t, uint32_t) override {}
  uint32_t GetAppOption(uint32_t) override { return 0; }
  std::span<const NativeFamily> NativeFamilies() override { return AllNativeFamilies(); }

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

  // Calls native number with the given argument words, as the interpreter does.
  NativeAnswer Call(uint32_t number, std::initializer_list<uint32_t> words) {
    uint32_t args = Memory().Allocate(static_cast<uint32_t>(words.size() * 4 + 4));
    uint32_t at = args;
    for (uint32_t w : words) Memory().Write32(at, w), at += 4;
    return CallAt(number, args);
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
