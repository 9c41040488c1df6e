// Save slot files on arbitrary bytes: a load answers one of its codes and, unless it loaded,
// leaves the variables, the history, the frame and the kept snapshot as they were; the caption
// and the slot information (with the comment folded) read only the header and stay in bounds.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "graphics/surface/image_surface.h"
#include "host/host_path.h"
#include "savedata/save_data.h"
#include "savedata/save_file.h"
#include "scenario/message/script_message_text.h"
#include "script/script_host.h"
#include "script_fuzz_world.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Its state is four bytes.
class FuzzFrame : public bw::SaveFrameState {
 public:
  std::vector<uint8_t> state = {'F', 'R', 'M', 0};
  bw::SaveSceneLayer BaseSceneLayer() override { return {}; }
  std::string ThumbnailPictureName() override { return {}; }
  std::string SceneTitle() override { return {}; }
  int GetComment(std::string&) override { return 1; }
  uint32_t StateSize(bool) override { return 4; }
  int WriteState(std::vector<uint8_t>& out, bool) override {
    out.insert(out.end(), state.begin(), state.end());
    return 0;
  }
  int ReadState(bw::ByteReader& in, bool) override {
    auto bytes = in.bytes(4);
    if (!bytes || (*bytes)[3] != 0) return 1;
    state.assign(bytes->begin(), bytes->end());
    return 0;
  }
  void RestoreCursor() override {}
  int32_t QueryReadFlags(int32_t, const std::string&) override { return 0; }
};

class FuzzApp : public bw::ScriptApplication {
 public:
  bw::MemoryScriptFileSource files;
  std::string folder;
  FuzzFrame frame;
  bw::ScriptFileSource* ScriptFiles() override { return &files; }
  std::string SaveFolder() override { return folder; }
  bool TranslationOption() override { return false; }
  uint32_t Clock() override { return 1234; }
  void ShowMessage(const std::string&) override {}
  void SetAppOption(uint32_t, uint32_t) override {}
  uint32_t GetAppOption(uint32_t) override { return 0; }
  std::unique_ptr<bw::ScriptHostMessageText> CreateMessageText(bw::ScriptHost& host) override {
    return std::make_unique<bw::ScriptMessageText>(&host, &host.GetMemory());
  }
  bw::SaveFrameState* SaveFrame() override { return &frame; }
};

// One host for every run, saving into a folder of its own.
struct World {
  FuzzApp app;
  std::unique_ptr<bw::ScriptHost> host;
  std::filesystem::path folder;
  bw::ImageSurface thumbnail;

  World() {
    std::string pattern = (std::filesystem::temp_directory_path() / "save-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    folder = pattern;
    Check(bw::host::LinuxPathToEnginePath(folder.string() + "/", app.folder) == bw::host::kPathOk);
    app.files.Put("SCRIPT\\USER_VAR.SOB",
                  bw::fuzz::AssembleOrDie(".sob1\nv: .word 5\n.var 0 1 v 4\n"));
    app.files.Put("SCRIPT\\MAIN.SOB", bw::fuzz::AssembleOrDie(".sob0\n ret\n"));
    Check(bw::StartScriptHost(app, host) == 0);
    auto* text = static_cast<bw::ScriptMessageText*>(host->MessageText());
    // A ring of four entries always has the memory.
    (void)text->SetHistoryCapacity(4);
    text->SetHistoryEnabled(true);
    Check(thumbnail.Create(120, 90, 32, 0) == 0);
  }
  ~World() {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World world;
  std::ofstream(world.folder / "DATA0200.SAV", std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  bw::ScriptHost& host = *world.host;
  bw::SaveData& save = bw::SaveDataOf(host);
  auto& text = *static_cast<bw::ScriptMessageText*>(host.MessageText());

  // A known live state: the variable, one history entry, a snapshot and the frame.
  const uint32_t variable = host.VariableValueAddress(0);
  Check(host.GetMemory().Write32(variable, 5));
  text.Reset();
  // Setting a message is on: it always takes.
  (void)text.SetMessage(std::vector<uint8_t>{0, 1, 0, 'l', 'i', 'v', 'e', 0});
  Check(save.TakeSnapshot() == 0);
  const std::vector<uint8_t> snapshot(save.Snapshot().begin(), save.Snapshot().end());
  world.app.frame.state = {'F', 'R', 'M', 0};

  const int r = save.LoadSaveData(2, 0);
  Check(r >= 0 && r <= 5);
  if (r != 0) {
    uint32_t value = 0;
    Check(host.GetMemory().Read32(variable, value) && value == 5);
    Check(text.HistoryCount() == 1);
    Check(world.app.frame.state == std::vector<uint8_t>({'F', 'R', 'M', 0}));
    Check(save.HasSnapshot() &&
          std::vector<uint8_t>(save.Snapshot().begin(), save.Snapshot().end()) == snapshot);
  }

  std::string caption, title, comment, date;
  const int c = save.GetSaveSlotCaption(&caption, 2, 0, size ? data[0] & 3 : 0);
  Check(c == 0 || c == bw::kSlotBadMagic);
  const int i =
      save.ReadSaveSlotInfo(2, 0, &world.thumbnail, &title, &comment, nullptr, &date, true);
  Check(i == c);
  if (i == 0) {
    Check(title.size() <= bw::kTitleFieldBytes);
    size_t lines = 1, line = 0;
    for (char ch : comment) {
      if (ch == '\n') {
        ++lines, line = 0;
      } else {
        Check(++line <= 82);
      }
    }
    Check(lines <= 4);
  }
  return 0;
}
