// Calls natives of a family from a script with argument words drawn from a palette: small
// numbers, 65535, -1, addresses inside the script's data and past the arena's end, and live,
// stale and forged handles. Each byte group of the input is one call (family, native, six
// palette picks). Whatever the words, the step ends normally or with the illegal-script result,
// and afterwards a good script still runs to its end on the same host.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "common/global.h"
#include "effects/transitions/wipe_transitions.h"
#include "graphics/surface/image_surface.h"
#include "natives/native_families.h"
#include "platform/timer_service.h"
#include "resource/files/file.h"
#include "script/script_host.h"
#include "script_fuzz_world.h"

namespace {

constexpr size_t kCallBytes = 8;
constexpr size_t kMaxCalls = 24;
constexpr uint64_t kInstructionBudget = 4096;
constexpr uint32_t kAnswer = 0x5A5A;

class FuzzApp : public bw::ScriptApplication {
 public:
  bw::MemoryScriptFileSource files;
  bw::ScriptFileSource* ScriptFiles() override { return &files; }
  std::string SaveFolder() override { return "SAVE\\"; }
  bool TranslationOption() override { return false; }
  uint32_t Clock() override { return 1234; }
  void ShowMessage(const std::string&) override {}
  void SetAppOption(uint32_t, uint32_t) override {}
  uint32_t GetAppOption(uint32_t) override { return 0; }
  std::span<const bw::NativeFamily> NativeFamilies() override { return bw::AllNativeFamilies(); }
};

// Palette words: the handles are filled in once the host exists, so they are named here.
std::string PaletteWord(uint8_t pick, const uint32_t handles[3]) {
  switch (pick % 14) {
    case 0:
      return "0";
    case 1:
      return "1";
    case 2:
      return "3";
    case 3:
      return "200";
    case 4:
      return "65535";
    case 5:
      return "-1";
    case 6:
      return "0x7FFFFFFF";
    case 7:
      return "buf";
    case 8:
      return "text";
    case 9:
      return "buf+252";
    case 10:
      return "0x3FFFFFF0";
    case 11:
      return std::to_string(handles[0]);
    case 12:
      return std::to_string(handles[1]);
    default:
      return std::to_string(handles[2]);
  }
}

// The image natives' world: a live picture and a wipe manager on a timer service of its own.
// In every other run the picture's handle takes the forged handle's place in the palette.
struct PictureWorld {
  PictureWorld(bw::ScriptHost& host, bool picturePick, uint32_t handles[3]) {
    picture.Create(8, 6, 32, 0);
    if (picturePick) handles[2] = host.Handles().HandleOf(bw::ScriptObjectType::kSurface, &picture);
  }
  bw::ImageSurface picture;  // outlives the wipes drawing into it
  bw::TimerService timers;
  bw::WipeTransitions wipes{&timers};
  bw::ScopedGlobal<bw::WipeTransitions> published{&wipes};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kCallBytes || size > kCallBytes * kMaxCalls) return 0;
  static const std::vector<uint8_t> good =
      bw::fuzz::AssembleOrDie(".sob0\n set " + std::to_string(kAnswer) + ", host:0\n ret\n");
  FuzzApp app;
  app.files.Put("SCRIPT\\MAIN.SOB", bw::fuzz::AssembleOrDie(".sob0\n ret\n"));
  app.files.Put("SCRIPT\\GOOD.SOB", good);
  std::unique_ptr<bw::ScriptHost> host;
  if (bw::StartScriptHost(app, host) != 0) std::abort();

  bw::File live;
  uint32_t handles[3];
  handles[0] = host->Handles().HandleOf(bw::ScriptObjectType::kFile, &live);
  {
    bw::File gone;
    handles[1] = host->Handles().HandleOf(bw::ScriptObjectType::kFile, &gone);
  }
  handles[2] = handles[0] ^ 0x00100000;  // another generation
  PictureWorld pictures(*host, (data[0] & 0x40) != 0, handles);

  std::string code, words;
  for (size_t c = 0; c + kCallBytes <= size; c += kCallBytes) {
    auto families = bw::AllNativeFamilies();
    const bw::NativeFamily& family = families[data[c] % families.size()];
    const bw::NativeEntry& entry = family.entries[data[c + 1] % family.entries.size()];
    std::string label = "args" + std::to_string(c);
    code += " native native:" + std::to_string(entry.number) + ", " + label + ", host:1\n";
    words += label + ": .word ";
    for (size_t k = 0; k < kCallBytes - 2; ++k) {
      words += (k ? ", " : "") + PaletteWord(data[c + 2 + k], handles);
    }
    words += "\n";
  }
  app.files.Put("SCRIPT\\RUN.SOB",
                bw::fuzz::AssembleOrDie(".sob0\n" + code + " ret\n" + words +
                                        "text: .string \"abc\"\nbuf: .space 256\n"));

  host->Interpreter().ResetStack();
  if (host->LoadScript("RUN") != 0) std::abort();
  bw::BytecodeVm& interpreter = host->Interpreter();
  interpreter.SetInstructionLimit(kInstructionBudget);
  int run = interpreter.Run();
  if (run != bw::kRunEnded && run != bw::kRunWaiting && run != bw::kRunFault) std::abort();
  interpreter.SetInstructionLimit(0);

  interpreter.ResetStack();
  if (host->LoadScript("GOOD") != 0 || interpreter.Run() != bw::kRunEnded) std::abort();
  uint32_t answer = 0;
  if (!host->GetMemory().Read32(host->HostVariableAddress(0), answer) || answer != kAnswer)
    std::abort();
  return 0;
}
