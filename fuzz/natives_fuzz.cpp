// Calls natives of a family from a script with argument words drawn from a palette: small
// numbers, 65535, -1, addresses inside the script's data and past the arena's end, and live,
// stale and forged handles. Each byte group of the input is one call (family, native, six
// palette picks). Whatever the words, the step ends normally or with the illegal-script result,
// and afterwards a good script still runs to its end on the same host.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/global.h"
#include "effects/transitions/wipe_transitions.h"
#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"
#include "graphics/text/gdi_text_renderer.h"
#include "graphics/text/outline_text_renderer.h"
#include "gui/image_list_part.h"
#include "gui/part_manager.h"
#include "gui/pointer_tip.h"
#include "host/font/fake_glyph_source.h"
#include "host/host_path.h"
#include "lib/ogg/ogg_vorbis_writer.h"
#include "natives/message_text_natives.h"
#include "natives/native_families.h"
#include "natives/object_list_natives.h"
#include "platform/app_paths.h"
#include "platform/memory_stream.h"
#include "platform/timer_service.h"
#include "resource/files/file.h"
#include "resource/files/file_utils.h"
#include "resource/packs/file_system_manager.h"
#include "resource/packs/vfa_decoder.h"
#include "scenario/message/script_message_text.h"
#include "script/script_host.h"
#include "script_fuzz_world.h"
#include "sound/direct_sound_device.h"
#include "sound/ogg_vorbis_decoder.h"
#include "sound/sll_plugin_manager.h"
#include "sound/sound_channel_manager.h"

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
  bw::PartManager* parts = nullptr;
  bw::PointerManager* pointers = nullptr;
  bw::PartManager* ScriptPartManager() override { return parts; }
  bw::PointerManager* ScriptPointerManager() override { return pointers; }
};

// The render natives' world: a display manager and the effects' timer service, with a live
// image, a destroyed one and a live render item in the palette.
struct RenderWorld {
  bw::TimerService timers;
  bw::DisplayManager display;
  bw::ScopedGlobal<bw::TimerService> publishTimers{&timers};
  bw::ScopedGlobal<bw::DisplayManager> publishDisplay{&display};

  void AddHandles(bw::ScriptHandles& handles, std::vector<uint32_t>& out) {
    bw::ImageSurface* image = nullptr;
    bw::D3DRectPrimitive* item = nullptr;
    // Any input may be refused; the run goes on.
    (void)display.CreateImageSurface(&image, 8, 8, 32, 0);
    out.push_back(
        handles.HandleOf(bw::ScriptObjectType::kSurface, static_cast<bw::Surface*>(image)));
    // Any input may be refused; the run goes on.
    (void)display.CreateImageSurface(&image, 4, 4, 32, 0);
    out.push_back(
        handles.HandleOf(bw::ScriptObjectType::kSurface, static_cast<bw::Surface*>(image)));
    // One the manager does not hold is gone already.
    (void)display.DestroyLayer(image);
    // Any input may be refused; the run goes on.
    (void)display.CreateD3DRectPrimitive(&item, 4, 4, 0xFF000000u, 0, 0);
    out.push_back(
        handles.HandleOf(bw::ScriptObjectType::kRenderItem, static_cast<bw::RenderItem*>(item)));
  }
};

// Palette words: the handles are filled in once the host exists, so they are named here.
std::string PaletteWord(uint8_t pick, const std::vector<uint32_t>& handles) {
  const size_t kinds = 11 + handles.size();
  switch (pick % kinds) {
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
    default:
      return std::to_string(handles[pick % kinds - 11]);
  }
}

// The system natives that would reach outside the run: the application folder, the desktop's
// opener and the special folders (which are created when missing).
bool SystemAppNativeLeftOut(uint32_t number) {
  return number == 94 || (number >= 802 && number <= 804);
}
// The file natives read a temporary game folder, made once: the application folder, with a
// published file-system manager and the palette's text "abc" as a file in it.
class FileNativesFolder {
 public:
  FileNativesFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "natives-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    folder_ = pattern;
    std::ofstream(folder_ / "abc") << "line one\r\nline two\r\n";
    std::string engine;
    if (bw::host::LinuxPathToEnginePath(folder_.string() + "/", engine) != bw::host::kPathOk ||
        bw::RebaseAppFolder(engine) != 0) {
      std::abort();
    }
    bw::PluginRecord vfa = bw::MakeVfaDecoderRecord();
    if (manager_.AddDecoder(std::move(vfa.decodeObject), vfa.extensions, vfa.typeString, vfa.typeId,
                            vfa.assist, vfa.assist2, vfa.configDialog) != 0) {
      std::abort();
    }
    bw::TheFileSystemManager::Set(&manager_);
  }
  ~FileNativesFolder() {
    bw::TheFileSystemManager::Set(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }

  // Plug-ins (103, 104, 116, 117), the current folder (123), programs (161), folders made or
  // moved (162, 163), and writes to a named path (130, 131, 164, 805).
  static bool StaysOut(uint32_t number) {
    constexpr uint32_t kOut[] = {103, 104, 116, 117, 123, 161, 162, 163, 130, 131, 164, 805};
    return std::find(std::begin(kOut), std::end(kOut), number) != std::end(kOut);
  }

 private:
  std::filesystem::path folder_;
  bw::FileSystemManager manager_;
};

// The display-object natives' objects: a sprite with a picture, a colour rectangle, the picture
// as an image, a sprite already destroyed, and the timer service their paths start on.
struct DisplayObjects {
  bw::ImageSurface image;
  bw::Sprite sprite;
  bw::ColorRectObject rect;
  bw::TimerService timers;
  bw::ScopedGlobal<bw::TimerService> published{&timers};

  void AddHandles(bw::ScriptHandles& table, std::vector<uint32_t>& handles) {
    static const bool library = bw::SetPixelLibrary(&bw::BuiltInPixelLibrary());
    if (!library || image.Create(16, 12, 32, 0) != 0 || sprite.SetImage(&image, nullptr, 0, 0) != 0)
      std::abort();
    // Any input may be refused; the run goes on.
    (void)rect.Create(8, 8, 0x80FF0000, 2, 2);
    handles.push_back(table.HandleOf(bw::ScriptObjectType::kDisplayObject,
                                     static_cast<bw::DisplayObject*>(&sprite)));
    handles.push_back(table.HandleOf(bw::ScriptObjectType::kDisplayObject,
                                     static_cast<bw::DisplayObject*>(&rect)));
    handles.push_back(
        table.HandleOf(bw::ScriptObjectType::kSurface, static_cast<bw::Surface*>(&image)));
    bw::Sprite gone;
    handles.push_back(table.HandleOf(bw::ScriptObjectType::kDisplayObject,
                                     static_cast<bw::DisplayObject*>(&gone)));
  }
};
// The sound families' world: one Ogg tone from the tools' writer that every game file name
// resolves to (the palette's text among them), a device nobody pulls, the decoders and the host's
// channels; its palette handles are a live buffer, a deleted one and one the channels own.
class SoundFuzzWorld final : public bw::SoundFileSource {
 public:
  SoundFuzzWorld(bw::ScriptHost& host, uint32_t handles[3]) : host_(host) {
    static const std::vector<uint8_t> tone = [] {
      std::vector<uint8_t> ogg;
      if (bw::tools::EncodeOggVorbis(bw::tools::MakeSineTone(440, 200, 8000, 1), 1, 8000, &ogg) !=
          bw::tools::kOggOk)
        std::abort();
      return ogg;
    }();
    tone_ = &tone;
    (void)bw::RegisterOggVorbisDecoder(decoders_);
    if (device_.SetPrimaryFormat(bw::host::HWND{}, false, false, nullptr, 2, 8000, 16) != 0)
      std::abort();
    host.SetSoundChannels(std::make_unique<bw::SoundChannelManager>(&timers_));
    if (host.SoundChannels()->SetChannelCount(4) != bw::kSoundOk) std::abort();
    bw::SoundBuffer *live = nullptr, *gone = nullptr;
    if (device_.CreateBuffer(&live, "abc", 0) != 0 || device_.CreateBuffer(&gone, "abc", 0) != 0)
      std::abort();
    handles[0] = host.Handles().HandleOf(bw::ScriptObjectType::kSoundBuffer, live);
    handles[1] = host.Handles().HandleOf(bw::ScriptObjectType::kSoundBuffer, gone);
    if (device_.RemoveBuffer(gone) != bw::kListOk) std::abort();
    (void)host.SoundChannels()->LoadChannel(0, "abc", 0, false);  // the handle is what is wanted
    handles[2] = host.Handles().HandleOf(bw::ScriptObjectType::kSoundBuffer,
                                         &host.SoundChannels()->GetChannel(0)->staticBuffer);
  }
  ~SoundFuzzWorld() override {
    host_.SetSoundChannels(nullptr);
    device_.DeleteAllBuffers();
  }
  bool ResolvePath(const std::string& name, std::string* fullPath) override {
    *fullPath = name;
    return !name.empty();
  }
  bw::Stream* OpenStream(const std::string& name) override {
    if (name.empty()) return nullptr;
    auto* stream = new bw::MemoryStream;
    void* block = bw::AllocGlobalMemory(tone_->size());
    std::copy(tone_->begin(), tone_->end(), static_cast<uint8_t*>(block));
    (void)stream->Attach(block, static_cast<uint32_t>(tone_->size()));
    return stream;
  }

 private:
  bw::ScriptHost& host_;
  const std::vector<uint8_t>* tone_ = nullptr;
  bw::ScopedGlobal<bw::SoundFileSource> files_{this};
  bw::SllPluginManager decoders_;
  bw::ScopedGlobal<bw::SllPluginManager> publishedDecoders_{&decoders_};
  bw::TimerService timers_;  // outlives the buffers, whose fades it holds
  bw::DirectSoundDevice device_;
  bw::ScopedGlobal<bw::DirectSoundDevice> publishedDevice_{&device_};
};

bool IsSoundFamily(const bw::NativeFamily& family) {
  return std::string(family.name).starts_with("sound");
}
bool IsImageFamily(const bw::NativeFamily& family) {
  return std::string(family.name) == "image";
}

// The image natives' world: a live picture and a wipe manager on a timer service of its own.
// In every other run the picture's handle takes the forged handle's place in the palette.
struct PictureWorld {
  PictureWorld(bw::ScriptHost& host, bool picturePick, uint32_t handles[3]) {
    // Any input may be refused; the run goes on.
    (void)picture.Create(8, 6, 32, 0);
    if (picturePick) {
      handles[2] = host.Handles().HandleOf(bw::ScriptObjectType::kSurface,
                                           static_cast<bw::Surface*>(&picture));
    }
  }
  bw::ImageSurface picture;  // outlives the wipes drawing into it
  bw::TimerService timers;
  bw::WipeTransitions wipes{&timers};
  bw::ScopedGlobal<bw::WipeTransitions> published{&wipes};
};

// The object lists' world: a cell image drawing on a picture of its own and a released one in
// the palette. The picture dies before the host's lists, as a script's picture may.
struct ObjectListWorld {
  ObjectListWorld(bw::ScriptHost& host, std::vector<uint32_t>& handles) {
    auto& cells = host.Extension<bw::ObjectListNativeState>().CellImages();
    // Any input may be refused; the run goes on.
    (void)picture.Create(12, 4, 32, 0);
    uint32_t live = 0, released = 0;
    (void)cells.Create(live, [this](bw::CellImage& image) {
      bw::CellLayout layout;
      layout.cellCount = 3;
      layout.interval = 50;
      layout.targetSurface = &picture;
      return image.SetImage(&picture, layout);
    });
    (void)cells.Create(released, bw::NoSetup{});
    (void)cells.ReleaseHandle(released);
    handles.push_back(live);
    handles.push_back(released);
  }
  bw::ImageSurface picture;
};

// The image family's palette handles: 32- and 8-bit pictures, an image without pixels, a 1 x 1
// one, a canvas layer with its second list and a sprite of the display manager; the palette's
// small words, 65535, -1 and 0x7FFFFFFF make inverted, switched-off and huge rectangles and
// positions of them.
std::vector<uint32_t> ImageFamilyHandles(bw::ScriptHost& host, bw::DisplayManager& display) {
  bw::ImageSurface *wide = nullptr, *narrow = nullptr, *empty = nullptr, *dot = nullptr;
  bw::CanvasLayer* canvas = nullptr;
  bw::Sprite* sprite = nullptr;
  if (display.CreateImageSurface(&wide, 12, 9, 32, 0) != 0 ||
      display.CreateImageSurface(&narrow, 9, 12, 8, 0) != 0 ||
      display.CreateImageSurface(&dot, 1, 1, 32, 0) != 0 ||
      display.CreateImageSurface(&empty, 2, 2, 32, 0) != 0 ||
      display.CreateCanvasLayer(&canvas, 16, 16, 32, bw::kLayerComposedWithUpperList) != 0 ||
      display.CreateSprite(&sprite, wide, nullptr, 1, 1) != 0)
    std::abort();
  empty->Release();
  // A picture deeper than 8 bits has no palette to set.
  (void)narrow->SetPalette(nullptr, 256, 0);
  auto surface = [&](bw::Surface* s) {
    return host.Handles().HandleOf(bw::ScriptObjectType::kSurface, s);
  };
  return {surface(wide),
          surface(narrow),
          surface(empty),
          surface(dot),
          surface(dynamic_cast<bw::Surface*>(canvas)),
          host.Handles().HandleOf(bw::ScriptObjectType::kDisplayObject,
                                  static_cast<bw::DisplayObject*>(sprite))};
}

// The GUI part natives' world: a part manager drawing on a picture of its own and a pointer tip
// without a window. In the palette: a colour box registered with the tip, a hit area, a check
// box and a deleted part. The parts go before the tip and the layer they are listed in.
bool IsGuiPartFamily(const bw::NativeFamily& family) {
  return std::string(family.name) == "gui parts";
}
struct GuiPartWorld {
  GuiPartWorld(bw::ScriptHost& host, FuzzApp& app, std::vector<uint32_t>& handles) : app_(app) {
    if (screen.Create(64, 48, 32, 0) != 0) std::abort();
    // A null one only unlinks, which cannot fail.
    (void)layer.SetTarget(&screen, true);
    parts.SetTarget(&layer);
    app.parts = &parts;
    app.pointers = &tip;
    bw::ColorBoxPart *box = nullptr, *gone = nullptr;
    bw::HitAreaPart* area = nullptr;
    if (parts.CreateColorBox(&box, 1, 2, 2, 10, 10, 1, 2, 3) != 0 ||
        parts.CreateColorBox(&gone, 1, 2, 2, 10, 10, 1, 2, 3) != 0 ||
        parts.CreateHitArea(&area, 20, 20, 8, 8, -1, -1, true, true) != 0)
      std::abort();
    (void)tip.AddControl(box, -1);
    auto give = [&](bw::UiControl* part) {
      handles.push_back(host.Handles().HandleOf(bw::ScriptObjectType::kGuiPart, part));
    };
    give(box);
    give(area);
    give(gone);
    (void)parts.DeletePart(gone);
  }
  ~GuiPartWorld() {
    parts.DeleteAll();
    parts.DestroyImeIndicator();
    tip.RemoveAll();
    app_.parts = nullptr;
    app_.pointers = nullptr;
  }
  FuzzApp& app_;
  bw::ImageSurface screen;
  bw::CompositionLayer layer;
  bw::PointerTip tip;
  bw::PartManager parts;
};

// The message text natives' world: the host's message text object, a picture, an outline and a
// GDI renderer, a sprite as the owner, a destroyed renderer and the current choice list, whose
// read flags the natives refresh.
struct MessageTextWorld {
  explicit MessageTextWorld(bw::ScriptHost& host) {
    host.SetMessageText(std::make_unique<bw::ScriptMessageText>(&host, &host.GetMemory()));
    // Any input may be refused; the run goes on.
    (void)picture.Create(24, 16, 32, 0);
    // A font that cannot be made keeps the one in force.
    (void)outline.SetFont(8, false, false, nullptr);
    (void)gdi.SetFont(8, false, false, nullptr);
    (void)choices.Setup(&list, 0, 0, 0, 24, 8, 0, &gdi, 0);
    bw::ScriptHandles& h = host.Handles();
    handles = {
        h.HandleOf(bw::ScriptObjectType::kSurface, static_cast<bw::Surface*>(&picture)),
        h.HandleOf(bw::ScriptObjectType::kTextRenderer, &outline),
        h.HandleOf(bw::ScriptObjectType::kTextRenderer, &gdi),
        h.HandleOf(bw::ScriptObjectType::kDisplayObject, static_cast<bw::DisplayObject*>(&owner)),
        h.HandleOf(bw::ScriptObjectType::kGuiPart, static_cast<bw::UiControl*>(&choices))};
    {
      bw::OutlineTextRenderer gone(source, 16);
      handles.push_back(h.HandleOf(bw::ScriptObjectType::kTextRenderer, &gone));
    }
    (void)host.Extension<bw::CurrentChoiceList>().Set(&choices);
  }
  static bool IsFamily(const bw::NativeFamily& family) {
    return std::string(family.name) == "message text";
  }
  bw::host::FakeGlyphSource source;
  bw::ImageSurface picture;
  bw::OutlineTextRenderer outline{source, 16};
  bw::GdiTextRenderer gdi{source};
  bw::Sprite owner;
  bw::DisplayObjectList list;
  bw::ImageListPart choices;
  std::vector<uint32_t> handles;
};

// The save natives' world: the save folder below the game folder exists, so slot files are
// written, read, edited, copied and deleted there.
bool MakeSaveFolder() {
  std::string folder;
  return bw::ResolveLinuxPath("SAVE\\", nullptr, folder) &&
         std::filesystem::create_directories(folder);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kCallBytes || size > kCallBytes * kMaxCalls) return 0;
  static const FileNativesFolder gameFolder;
  static const bool saveFolder [[maybe_unused]] = MakeSaveFolder();
  static const std::vector<uint8_t> good =
      bw::fuzz::AssembleOrDie(".sob0\n set " + std::to_string(kAnswer) + ", host:0\n ret\n");
  FuzzApp app;
  app.files.Put("SCRIPT\\MAIN.SOB", bw::fuzz::AssembleOrDie(".sob0\n ret\n"));
  app.files.Put("SCRIPT\\GOOD.SOB", good);
  std::unique_ptr<bw::ScriptHost> host;
  if (bw::StartScriptHost(app, host) != 0) std::abort();

  RenderWorld render;
  bw::File live;
  std::vector<uint32_t> handles(3);
  render.AddHandles(host->Handles(), handles);
  handles[0] = host->Handles().HandleOf(bw::ScriptObjectType::kFile, &live);
  {
    bw::File gone;
    handles[1] = host->Handles().HandleOf(bw::ScriptObjectType::kFile, &gone);
  }
  handles[2] = handles[0] ^ 0x00100000;  // another generation
  DisplayObjects displayObjects;
  displayObjects.AddHandles(host->Handles(), handles);
  std::vector<uint32_t> soundHandles(3);
  SoundFuzzWorld sound(*host, soundHandles.data());
  PictureWorld pictures(*host, (data[0] & 0x40) != 0, handles.data());
  ObjectListWorld objectLists(*host, handles);
  const std::vector<uint32_t> imageHandles = ImageFamilyHandles(*host, render.display);
  std::vector<uint32_t> guiHandles = handles;
  GuiPartWorld gui(*host, app, guiHandles);
  MessageTextWorld messages(*host);

  std::string code, words;
  for (size_t c = 0; c + kCallBytes <= size; c += kCallBytes) {
    auto families = bw::AllNativeFamilies();
    const bw::NativeFamily& family = families[data[c] % families.size()];
    const bw::NativeEntry& entry = family.entries[data[c + 1] % family.entries.size()];
    if (SystemAppNativeLeftOut(entry.number) || FileNativesFolder::StaysOut(entry.number)) continue;
    std::string label = "args" + std::to_string(c);
    code += " native native:" + std::to_string(entry.number) + ", " + label + ", host:1\n";
    words += label + ": .word ";
    for (size_t k = 0; k < kCallBytes - 2; ++k) {
      words += (k ? ", " : "") + PaletteWord(data[c + 2 + k], IsSoundFamily(family)   ? soundHandles
                                                              : IsImageFamily(family) ? imageHandles
                                                              : IsGuiPartFamily(family) ? guiHandles
                                                              : MessageTextWorld::IsFamily(family)
                                                                  ? messages.handles
                                                                  : handles);
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
