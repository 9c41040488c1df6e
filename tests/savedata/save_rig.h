// A script host with class-1 variables, the message text object and its history, a thumbnail
// layer, fake settings and a fake scenario frame, saving into a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "host/host_path.h"
#include "savedata/save_data.h"
#include "savedata/save_file.h"
#include "scenario/message/script_message_text.h"
#include "script/script_test_util.h"
#include "support/temp_dir.h"

namespace bw {

class FakeSaveSettings : public SaveSettingsStore {
 public:
  SaveSettings settings;
  SaveSettings GetSaveSettings() override { return settings; }
  void SetSaveSettings(const SaveSettings& s, bool) override { settings = s; }
};

// Its state is three bytes; it records the flags it was given.
class FakeFrame : public SaveFrameState {
 public:
  CompositionLayer* layer = nullptr;
  SurfaceLayer* holder = nullptr;
  std::string picture, title = "FRAME", comment = "frame comment";
  std::vector<uint8_t> state = {'F', '0', '1'};
  bool failRead = false;

  SaveSceneLayer BaseSceneLayer() override { return {layer, holder}; }
  std::string ThumbnailPictureName() override { return picture; }
  std::string SceneTitle() override { return title; }
  int GetComment(std::string& text) override { return text = comment, comment.empty(); }
  uint32_t StateSize(bool) override { return static_cast<uint32_t>(state.size()); }
  int WriteState(std::vector<uint8_t>& out, bool) override {
    out.insert(out.end(), state.begin(), state.end());
    return 0;
  }
  int ReadState(ByteReader& in, bool) override {
    auto bytes = in.bytes(3);
    if (!bytes || failRead) return 1;
    state.assign(bytes->begin(), bytes->end());
    return 0;
  }
  void RestoreCursor() override {}
  int32_t QueryReadFlags(int32_t query, const std::string& script) override {
    return query * 100 + static_cast<int32_t>(script.size());
  }
};

class SaveRigApp : public ScriptApplication {
 public:
  MemoryScriptFileSource files;
  std::string folder;  // engine path with its '\'
  FakeSaveSettings settings;
  FakeFrame* frame = nullptr;

  ScriptFileSource* ScriptFiles() override { return &files; }
  std::string SaveFolder() override { return folder; }
  bool TranslationOption() override { return false; }
  uint32_t Clock() override { return 1000; }
  void ShowMessage(const std::string&) override {}
  void SetAppOption(uint32_t, uint32_t) override {}
  uint32_t GetAppOption(uint32_t) override { return 0; }
  std::unique_ptr<ScriptHostMessageText> CreateMessageText(ScriptHost& host) override {
    return std::make_unique<ScriptMessageText>(&host, &host.GetMemory());
  }
  SaveSettingsStore* SaveSettingsSource() override { return &settings; }
  SaveFrameState* SaveFrame() override { return frame; }
};

// Variables 0 and 1 are saved (class 1); 2 is not.
inline const char kSaveVariables[] =
    ".sob1\n"
    "s1: .word 11\n"
    "s2: .word 21, 22\n"
    "sys: .word 9\n"
    ".var 0 1 s1 4\n"
    ".var 0 1 s2 8\n"
    ".var 0 2 sys 4\n";

constexpr uint32_t kLayerHandle = 7;

struct SaveRig {
  test::TempDir dir;
  SaveRigApp app;
  std::unique_ptr<ScriptHost> host;
  ImageSurface target;
  CompositionLayer layer;
  FakeFrame frame;  // the scenario frame once UseFrame() is called

  explicit SaveRig(const std::string& main = " ret\n") {
    std::string engine;
    EXPECT_EQ(host::LinuxPathToEnginePath(dir.path().string() + "/", engine), host::kPathOk);
    app.folder = engine;
    app.files.Put("SCRIPT\\USER_VAR.SOB", Sob(kSaveVariables));
    PutScript(app.files, "MAIN", main);
    EXPECT_EQ(StartScriptHost(app, host), 0);
    EXPECT_EQ(target.Create(240, 180, 32, 0), 0);
    (void)target.Fill(0xFF336699, nullptr);
    (void)layer.SetTarget(&target, true);
    layer.SetBackgroundColor(0x336699, true);
    Save().SetLayerResolver([this](uint32_t h) {
      return h == kLayerHandle ? SaveSceneLayer{&layer, nullptr} : SaveSceneLayer{};
    });
    Save().SetThumbnailSource(kLayerHandle, 0);
    EXPECT_TRUE(Text().SetHistoryCapacity(8));
    Text().SetHistoryEnabled(true);
  }
  // Saves through the fake frame, whose scene is the rig's layer.
  void UseFrame() {
    frame.layer = &layer;
    app.frame = &frame;
  }
  SaveData& Save() { return SaveDataOf(*host); }
  // The slot's 120 x 90 thumbnail at (x, y) as 0xRRGGBB; -1 when it does not read.
  int64_t ThumbnailPixel(int32_t page, int32_t slot, int32_t x, int32_t y) {
    ImageSurface picture;
    EXPECT_EQ(picture.Create(120, 90, 32, 0), 0);
    if (Save().ReadSaveSlotInfo(page, slot, &picture, nullptr, nullptr, nullptr, nullptr, false))
      return -1;
    const uint8_t* p = picture.GetRowPointer(y) + 4 * x;
    return p[0] | p[1] << 8 | p[2] << 16;
  }
  ScriptMessageText& Text() { return *static_cast<ScriptMessageText*>(host->MessageText()); }
  uint32_t Word(uint32_t variable, uint32_t k = 0) {
    return GuestWord(host->GetMemory(), host->VariableValueAddress(variable) + 4 * k);
  }
  void SetWord(uint32_t variable, uint32_t value, uint32_t k = 0) {
    ASSERT_TRUE(host->GetMemory().Write32(host->VariableValueAddress(variable) + 4 * k, value));
  }
  // A message "name$body" made current and kept in the history.
  void Say(const std::string& name, const std::string& body, uint16_t key = 1) {
    std::vector<uint8_t> block{0, static_cast<uint8_t>(key), static_cast<uint8_t>(key >> 8)};
    const std::string text = (name.empty() ? "" : "#" + name + "$") + body;
    block.insert(block.end(), text.begin(), text.end());
    block.push_back(0);
    ASSERT_EQ(Text().SetMessage(block), 0);
  }
  std::filesystem::path File(int32_t page, int32_t slot) {
    return dir.path() / SaveFileName(page, slot);
  }
  bool Exists(int32_t page, int32_t slot) { return std::filesystem::exists(File(page, slot)); }
  uint32_t GuestText(const std::string& text) {
    return host->GetMemory().AllocateCopy(
        {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, true);
  }
};

}  // namespace bw
