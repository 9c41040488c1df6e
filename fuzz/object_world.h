// The world a main script's objects live in: a game folder written by the tools' writers, every
// service the natives reach (display manager with a composed screen, timer services, keyword
// registries, sound device and channels, movie libraries, part manager and pointer tip, text
// renderer factory), and a script host whose native table is called with argument words in its
// guest memory, as the interpreter calls it. Shared by the object-family tests and fuzz target.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/global.h"
#include "effects/builtin_effects.h"
#include "effects/effect_registries.h"
#include "effects/filter_image_effects.h"
#include "effects/overlay_quake_noise.h"
#include "effects/transitions/wipe_transitions.h"
#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/text/renderer_factory.h"
#include "gui/gui_services.h"
#include "gui/part_manager.h"
#include "gui/pointer_tip.h"
#include "host/clock.h"
#include "host/font/fake_glyph_source.h"
#include "host/host_path.h"
#include "input/input_binding_table.h"
#include "input/input_manager.h"
#include "lib/bmp/bmp_builder.h"
#include "lib/gmp/gmp_writer.h"
#include "lib/hva/hv_writer.h"
#include "lib/movie/movie_writer.h"
#include "lib/ogg/ogg_vorbis_writer.h"
#include "lib/sob/sob_assembler.h"
#include "lib/wgx/wgx_writer.h"
#include "natives/native_families.h"
#include "platform/app_paths.h"
#include "platform/timer_service.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "resource/packs/file_system_manager.h"
#include "scenario/message/script_message_text.h"
#include "script/script_file_source.h"
#include "script/script_host.h"
#include "sound/direct_sound_device.h"
#include "sound/file_system_sound_source.h"
#include "sound/movie_control.h"
#include "sound/ogg_vorbis_decoder.h"
#include "sound/sll_plugin_manager.h"
#include "sound/sound_channel_manager.h"

namespace bw::fuzz {

// The game folder's files, written once per process into a temporary folder.
class ObjectGameFiles {
 public:
  static const ObjectGameFiles& Get() {
    static const ObjectGameFiles files;
    return files;
  }
  const std::filesystem::path& Path() const { return folder_; }
  bool HasMovie() const { return hasMovie_; }

  // The files' writers, for tests that write such files elsewhere.
  // Two sequences over two one-pixel-high pictures.
  static tools::HvaFile Animation() {
    tools::HvaFile file;
    file.rangeCount = 2;
    file.frames = {{0, 100, 0, 0}, {1, 100, 0, 0}, {-1, 0, 0, 0}, {1, 50, 0, 0}, {-1, 0, 0, 0}};
    for (int w = 1; w <= 2; ++w) {
      tools::WgxPicture picture;
      picture.width = w;
      picture.height = 1;
      picture.pixels.assign(size_t(w), 0x123456);
      file.pictures.push_back({tools::WriteWgx(picture), 0, 0});
    }
    return file;
  }
  static tools::HvdFile BackgroundAnimation() {
    tools::HvdFile hvd;
    hvd.header = {1, 2, 3, 4, 5, 6, 0, 0, 9, 10, 11, 12};
    hvd.rangeCount = 2;
    hvd.frames = {{5, 1, 0x100, 0}, {-1, 0, 0, 0}, {-2, 1, 0, 0}, {7, 0, 0, 0}};
    return hvd;
  }
  // A 24-bit picture of one grey.
  static std::vector<uint8_t> Bmp(int32_t width, int32_t height) {
    tools::BmpFields bmp;
    bmp.width = width;
    bmp.height = height;
    bmp.data.assign(static_cast<size_t>((width * 3 + 3) & ~3) * static_cast<size_t>(height), 0x40);
    return tools::BuildBmp(bmp);
  }

 private:
  ObjectGameFiles() {
    std::string pattern = (std::filesystem::temp_directory_path() / "objects-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    folder_ = pattern;
    Put("P.BMP", Bmp(16, 12));
    Put("B.BMP", Bmp(8, 6));
    Put("BG.BMP", Bmp(40, 30));
    Put("CELLS.BMP", Bmp(12, 4));
    Put("S.GMP", tools::WriteGmp(Screen()));
    Put("A.HVA", tools::WriteHva(Animation()));
    Put("A.HVD", tools::WriteHvd(BackgroundAnimation()));
    std::vector<uint8_t> tone;
    if (tools::EncodeOggVorbis(tools::MakeSineTone(440, 200, 8000, 1), 1, 8000, &tone) !=
        tools::kOggOk)
      std::abort();
    Put("SE.OGG", tone);
    tools::MovieWriterOptions movie;
    movie.ms = 1000;
    movie.sound = false;
    std::vector<uint8_t> bytes;
    hasMovie_ = tools::WriteMovie(movie, &bytes) == tools::kMovieWriteOk;
    if (hasMovie_) Put("OP.MPG", bytes);
  }
  ~ObjectGameFiles() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }

  void Put(const char* name, const std::vector<uint8_t>& bytes) const {
    std::ofstream(folder_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  // Two file buttons over a background.
  static GmpFile Screen() {
    GmpFile gmp;
    gmp.background = "BG.BMP";
    for (int16_t i = 0; i < 2; ++i) gmp.entries.push_back({"B.BMP", 1, i, 2, 200, true, 8, 6, 0});
    return gmp;
  }
  std::filesystem::path folder_;
  bool hasMovie_ = false;
};

// The pointer, devices and clock the parts ask for.
class ObjectGuiServices final : public GuiServices {
 public:
  explicit ObjectGuiServices(GuestMemory& memory) : memory_(memory) {
    // Message devices need no window; the table is made on them: without either the world is
    // unusable.
    if (input_.CreateDevices(host::HWND{}, kDeviceTypeMessage, kDeviceTypeMessage) != 0)
      std::abort();
    input_.Activate();
    if (input_.CreateBindingTable(8, &bindings_) != 0) std::abort();
  }
  void GetPointerPosition(int32_t* x, int32_t* y) override { *x = x_, *y = y_; }
  void SetPointerPosition(int32_t x, int32_t y) override { x_ = x, y_ = y; }
  void SetCursorVisible(bool) override {}
  Mouse* GetMouse() override { return input_.GetMouse(); }
  KeyboardDevice* GetKeyboard() override { return input_.Keyboard(); }
  InputBindingTable* GetInputBindings() override { return bindings_; }
  uint8_t PollTextInput(TextInputTarget*) override { return 0; }
  bool SendTextInputMessage(uint32_t) override { return false; }
  int32_t GetCanvasWidth() override { return kScreenWidth; }
  int32_t GetCanvasHeight() override { return kScreenHeight; }
  uint32_t Now() override { return host::GetTickCount(); }
  GuestMemory* GetScriptMemory() override { return &memory_; }

  static constexpr int32_t kScreenWidth = 160;
  static constexpr int32_t kScreenHeight = 120;

 private:
  GuestMemory& memory_;
  InputManager input_;
  InputBindingTable* bindings_ = nullptr;
  int32_t x_ = 4, y_ = 4;
};

class ObjectWorld;

class ObjectWorldApp final : public ScriptApplication {
 public:
  explicit ObjectWorldApp(ObjectWorld& world) : world_(world) {}
  ScriptFileSource* ScriptFiles() override { return &files; }
  std::string SaveFolder() override { return "SAVE\\"; }
  bool TranslationOption() override { return false; }
  uint32_t Clock() override;
  void ShowMessage(const std::string&) override {}
  void SetAppOption(uint32_t, uint32_t) override {}
  uint32_t GetAppOption(uint32_t) override { return 0; }
  std::span<const NativeFamily> NativeFamilies() override { return AllNativeFamilies(); }
  std::unique_ptr<ScriptHostMessageText> CreateMessageText(ScriptHost& host) override {
    return std::make_unique<ScriptMessageText>(&host, &host.GetMemory());
  }
  TimerService* GeneralTimers() override;
  PartManager* ScriptPartManager() override;
  PointerManager* ScriptPointerManager() override;

  MemoryScriptFileSource files;

 private:
  ObjectWorld& world_;
};

// A native's answer and whether its arguments faulted the step.
struct NativeCall {
  int32_t result = 0;
  bool faulted = false;
};

class ObjectWorld {
 public:
  ObjectWorld() {
    std::string engine;
    if (host::LinuxPathToEnginePath(ObjectGameFiles::Get().Path().string() + "/", engine) !=
            host::kPathOk ||
        RebaseAppFolder(engine) != 0)
      std::abort();
    BuildBlendTables();
    RegisterBuiltinLoaders(loaders_);
    RegisterApplicationKeywords(transitions_, effects_);
    (void)RegisterOggVorbisDecoder(decoders_);
    if (device_.SetPrimaryFormat(host::HWND{}, false, false, nullptr, 2, 8000, 16) != 0)
      std::abort();
    CanvasLayer* screen = nullptr;
    if (display_.CreateCanvasLayer(&screen, ObjectGuiServices::kScreenWidth,
                                   ObjectGuiServices::kScreenHeight, 32, kLayerComposed) != 0 ||
        display_.SetScreenSurface(screen) != 0)
      std::abort();
    parts_.SetTarget(Screen());
    tip_.SetTargetLayer(Screen());
    // MAIN has a record in the script table: the message natives keep its read flags.
    app_.files.Put("SCRIPT\\SOB_INIT.DAT", sob::Assemble(".table\n.script MAIN 64 64\n").bytes);
    app_.files.Put("SCRIPT\\MAIN.SOB", sob::Assemble(".sob0\n ret\n").bytes);
    if (StartScriptHost(app_, host_) != 0) std::abort();
    RegisterScriptHostKeywords(transitions_, effects_, &host_->Random());
    host_->SetSoundChannels(std::make_unique<SoundChannelManager>(&generalTimers_));
    if (host_->SoundChannels()->SetChannelCount(4) != kSoundOk) std::abort();
    services_ = std::make_unique<ObjectGuiServices>(host_->GetMemory());
    tip_.SetServices(services_.get());
  }
  ~ObjectWorld() {
    tip_.RemoveAll();
    parts_.DeleteAll();
    parts_.DestroyImeIndicator();
    host_.reset();
    // The overlays drew from the host's generator.
    ScreenOverlay::SetRandom(nullptr);
    QuakeFilter::SetRandom(nullptr);
    effectTimers_.Clear();
    generalTimers_.Clear();
    device_.DeleteAllBuffers();
    // A null one only unlinks, which cannot fail.
    (void)display_.SetScreenSurface(nullptr);
  }
  ObjectWorld(const ObjectWorld&) = delete;
  ObjectWorld& operator=(const ObjectWorld&) = delete;

  // Native number with the argument words, through the script's native table.
  NativeCall Call(uint32_t number, std::initializer_list<uint32_t> words) {
    GuestMemory& memory = host_->GetMemory();
    const uint32_t args = memory.Allocate(static_cast<uint32_t>(words.size() * 4 + 4));
    uint32_t at = args;
    for (uint32_t w : words) memory.Write32(at, w), at += 4;
    memory.TakeFault();
    NativeCall call{(*host_->Tables().natives)[number](memory, args), false};
    call.faulted = memory.TakeFault();
    memory.Free(args);
    return call;
  }
  int32_t Answer(uint32_t number, std::initializer_list<uint32_t> words) {
    return Call(number, words).result;
  }
  // A guest copy of text with its terminator; a guest word holding value; a word read back.
  uint32_t Text(std::string_view text) {
    return host_->GetMemory().AllocateCopy(
        {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, true);
  }
  uint32_t Var(uint32_t value) {
    const uint32_t at = host_->GetMemory().Allocate(4);
    host_->GetMemory().Write32(at, value);
    return at;
  }
  uint32_t Word(uint32_t at) {
    uint32_t value = 0;
    host_->GetMemory().Read32(at, value);
    return value;
  }
  uint32_t Block(uint32_t bytes) { return host_->GetMemory().Allocate(bytes); }

  // Frames pass: the clock moves, both timer services run, the pointer manager and the screen
  // take their turn.
  void Pass(uint32_t ms, uint32_t frameMs = 16) {
    for (uint32_t passed = 0; passed < ms; passed += frameMs) {
      clock_.AdvanceMilliseconds(frameMs);
      const uint32_t now = host::GetTickCount();
      effectTimers_.RunDue(now);
      generalTimers_.RunDue(now);
      (void)tip_.Update(now);
      // A frame that is not shown is drawn again on the next turn.
      if (CompositionLayer* screen = Screen()) (void)screen->RedrawDirty(nullptr, nullptr, 0, 0);
    }
  }

  // The pointer moves to (x, y) of the screen.
  void PointAt(int32_t x, int32_t y) { services_->SetPointerPosition(x, y); }

  ScriptHost& Host() { return *host_; }
  ScriptHandles& Handles() { return host_->Handles(); }
  // The screen while it lives: a script may destroy it with the rest of the layers.
  CompositionLayer* Screen() { return display_.GetSpriteComposition(); }
  // The screen as a container handle (0 once it is gone).
  uint32_t ScreenHandle() {
    return Handles().HandleOf(ScriptObjectType::kSurface,
                              static_cast<Surface*>(display_.GetScreenCanvas()));
  }
  uint32_t Now() { return host::GetTickCount(); }
  TimerService& EffectTimers() { return effectTimers_; }
  TimerService& GeneralTimers() { return generalTimers_; }
  PartManager& Parts() { return parts_; }
  PointerTip& Tip() { return tip_; }
  DisplayManager& Display() { return display_; }

 private:
  FileSystemManager files_;
  ScopedGlobal<FileSystemManager> publishFiles_{&files_};
  host::VirtualClock clock_{1000};
  ScopedGlobal<host::ClockSource> publishClock_{&clock_};
  ScopedPixelLibrary pixels_{&BuiltInPixelLibrary()};
  ImageLoaderManager loaders_;
  ScopedGlobal<ImageLoaderManager> publishLoaders_{&loaders_};
  host::FakeGlyphSource glyphs_;
  GlyphTextRendererFactory renderers_{glyphs_, [] { return 16u; }};
  ScopedGlobal<TextRendererFactory> publishRenderers_{&renderers_};
  TimerService effectTimers_;
  ScopedGlobal<TimerService> publishTimers_{&effectTimers_};
  TimerService generalTimers_;
  WipeTransitions wipes_{&effectTimers_};
  ScopedGlobal<WipeTransitions> publishWipes_{&wipes_};
  TcpPluginManager transitions_;
  ScopedGlobal<TcpPluginManager> publishTransitions_{&transitions_};
  DcpPluginManager effects_;
  ScopedGlobal<DcpPluginManager> publishEffects_{&effects_};
  FileSystemSoundSource sounds_;
  ScopedGlobal<SoundFileSource> publishSounds_{&sounds_};
  SllPluginManager decoders_;
  ScopedGlobal<SllPluginManager> publishDecoders_{&decoders_};
  DirectSoundDevice device_;
  ScopedGlobal<DirectSoundDevice> publishDevice_{&device_};
  MovieLibrarySet movies_ = MakeMovieLibraries(true, true, &files_);
  struct MoviePublication {
    explicit MoviePublication(const MovieLibrarySet* set) { PublishMovieLibraries(set); }
    ~MoviePublication() { PublishMovieLibraries(nullptr); }
  } publishMovies_{&movies_};
  DisplayManager display_;
  ScopedGlobal<DisplayManager> publishDisplay_{&display_};
  PointerTip tip_;
  PartManager parts_;
  ObjectWorldApp app_{*this};
  std::unique_ptr<ScriptHost> host_;
  std::unique_ptr<ObjectGuiServices> services_;
};

inline uint32_t ObjectWorldApp::Clock() {
  return world_.Now();
}
inline TimerService* ObjectWorldApp::GeneralTimers() {
  return &world_.GeneralTimers();
}
inline PartManager* ObjectWorldApp::ScriptPartManager() {
  return &world_.Parts();
}
inline PointerManager* ObjectWorldApp::ScriptPointerManager() {
  return &world_.Tip();
}

}  // namespace bw::fuzz
