#include "savedata/save_data.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "common/atomic_file.h"
#include "common/sjis.h"
#include "graphics/layers/layer_filter.h"
#include "graphics/layers/surface_layer.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "host/cp932.h"
#include "host/file/file_system.h"
#include "host/file/host_file.h"
#include "platform/rect.h"
#include "resource/files/file_utils.h"
#include "savedata/save_file.h"
#include "scenario/message/script_message_text.h"
#include "script/state_block.h"

namespace bw {

namespace {

constexpr uint32_t kNoTag = 0xFFFFFFFFu;
constexpr size_t kMessageTextMax = 4096;

uint8_t CheckedAutoSlot(uint8_t next) {
  return next <= kRingLast ? next : 0;
}
uint8_t CheckedQuickSlot(uint8_t next) {
  return next >= kQuickRingFirst && next <= kRingLast ? next : kQuickRingFirst;
}

// The thumbnail's rows from a 32-bit surface of exactly 120 x 90: each pixel's low three bytes.
void TakeThumbnailRows(const ImageSurface& surface, std::vector<uint8_t>& rows) {
  for (int32_t y = 0; y < kThumbnailHeight; ++y) {
    const uint8_t* source = surface.GetRowPointer(y);
    uint8_t* row = rows.data() + y * kThumbnailRowBytes;
    for (int32_t x = 0; x < kThumbnailWidth; ++x) std::memcpy(row + x * 3, source + x * 4, 3);
  }
}

bool IsThumbnailSized(const ImageSurface& surface) {
  return surface.GetBitsPerPixel() == 32 && surface.GetPixels() &&
         surface.GetWidth() == kThumbnailWidth && surface.GetHeight() == kThumbnailHeight;
}

// The last path component of a picture name.
std::string_view LastComponent(std::string_view name) {
  const size_t at = sjis::FindLastSeparator(name);
  return at == sjis::npos ? name : name.substr(at + 1);
}

}  // namespace

SaveData::SaveData(ScriptHost& host) : host_(host) {}
SaveData::~SaveData() = default;

SaveSettings SaveData::Settings() {
  ScriptApplication* app = host_.Application();
  SaveSettingsStore* store = app ? app->SaveSettingsSource() : nullptr;
  return store ? store->GetSaveSettings() : ownSettings_;
}

void SaveData::StoreSettings(const SaveSettings& settings, bool write) {
  ScriptApplication* app = host_.Application();
  if (SaveSettingsStore* store = app ? app->SaveSettingsSource() : nullptr) {
    store->SetSaveSettings(settings, write);
  } else {
    ownSettings_ = settings;
  }
}

SaveFrameState* SaveData::Frame() const {
  ScriptApplication* app = host_.Application();
  return app ? app->SaveFrame() : nullptr;
}

ScriptMessageText* SaveData::Text() const {
  return dynamic_cast<ScriptMessageText*>(host_.MessageText());
}

std::string SaveData::SlotPath(int32_t page, int32_t slot) const {
  ScriptApplication* app = host_.Application();
  return (app ? app->SaveFolder() : std::string()) + SaveFileName(page, slot);
}

int SaveData::SlotFile(int32_t page, int32_t slot, std::string& linuxPath) const {
  if (!ResolveLinuxPath(SlotPath(page, slot), nullptr, linuxPath)) return kSlotNoFile;
  std::optional<host::FileStatus> status = host::QueryFile(linuxPath);
  return status && status->IsFile() ? 0 : kSlotNoFile;
}

std::string SaveData::GuestText(uint32_t address, size_t max) const {
  GuestMemory& memory = host_.GetMemory();
  if (address == 0 || !memory.Valid(address, 1)) return {};
  const uint32_t size = static_cast<uint32_t>(std::min<uint64_t>(memory.Top() - address, max));
  std::string text(size, '\0');
  memory.Read(address, text.data(), size);
  text.resize(std::min(text.find('\0'), text.size()));
  return text;
}

// ---- State blob -----------------------------------------------------------------------------

int SaveData::Serialize(std::vector<uint8_t>& out, bool historyFlag, bool frameFlag) {
  ScriptMessageText* text = Text();
  SaveFrameState* frame = Frame();
  if (!text) historyFlag = false;
  try {
    uint64_t size = host_.GetVariableSetSize(0, false) + uint64_t{1};
    if (historyFlag) size += text->GetHistorySaveSize() + 4 + snapshot_.size();
    if (frame) size += frame->StateSize(frameFlag);
    out.clear();
    out.reserve(static_cast<size_t>(std::min<uint64_t>(size, 1u << 26)));
    if (host_.WriteVariableSet(&out, 0, false) != 0) return kSerializeVariables;
    out.push_back(historyFlag ? 1 : 0);
    if (historyFlag) {
      text->SaveHistory(out);
      const uint32_t length = hasSnapshot_ ? static_cast<uint32_t>(snapshot_.size()) : 0;
      for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(length >> (8 * i)));
      out.insert(out.end(), snapshot_.begin(), snapshot_.begin() + length);
    }
    if (frame && frame->WriteState(out, frameFlag) != 0) return kSerializeFrame;
  } catch (const std::bad_alloc&) {
    return kSerializeVariables;
  }
  return 0;
}

int SaveData::SerializeState(std::vector<uint8_t>& out, bool historyRequest) {
  const bool flag = historyRequest && Settings().keepHistoryInSaves != 0;
  return Serialize(out, flag, flag);
}

int SaveData::Restore(std::span<const uint8_t> blob, bool historyRestore, bool frameFlag,
                      bool putBack) {
  if (blob.empty()) return kRestoreNoBlob;
  // The variables are checked whole before anything changes.
  if (!host_.CheckVariableSet(ByteReader(blob))) return kRestoreVariables;
  // The live state, to put back should a later part fail.
  std::vector<uint8_t> live;
  std::vector<uint8_t> keptSnapshot = snapshot_;
  const bool hadSnapshot = hasSnapshot_;
  const bool liveFrameFlag = Settings().keepHistoryInSaves != 0;
  if (!putBack && Serialize(live, true, liveFrameFlag) != 0) live.clear();
  auto fail = [&](int code) {
    // The load has failed already; the state put back is the best there is.
    if (!putBack && !live.empty()) (void)Restore(live, true, liveFrameFlag, true);
    snapshot_ = std::move(keptSnapshot);
    hasSnapshot_ = hadSnapshot;
    return code;
  };

  ByteReader in(blob);
  if (host_.ReadVariableSet(in) != 0) return fail(kRestoreVariables);
  ScriptMessageText* text = Text();
  if (text) text->Reset();
  DropSnapshot();
  uint8_t historyFlag;
  if (!in.u8(historyFlag)) return fail(kRestoreRest);
  if (historyFlag == 1) {
    MessageTextEngine scratch;
    MessageTextEngine& history = text ? static_cast<MessageTextEngine&>(*text) : scratch;
    if (history.LoadHistory(in, text && historyRestore) != 0) return fail(kRestoreRest);
    uint32_t length;
    if (!in.u32le(length) || !in.has(length)) return fail(kRestoreRest);
    if (length != 0) {
      auto bytes = in.bytes(length);
      snapshot_.assign(bytes->begin(), bytes->end());
      hasSnapshot_ = true;
    }
  }
  // A save made without a frame has nothing more: the running frame is left as it is.
  if (SaveFrameState* frame = Frame(); frame && !in.atEnd()) {
    if (frame->ReadState(in, frameFlag) != 0) return fail(kRestoreRest);
  }
  return 0;
}

bool SaveData::SnapshotPastBlob(std::span<const uint8_t> blob) {
  ByteReader in(blob);
  if (!host_.CheckVariableSet(in) || !in.skip(host_.GetVariableSetSize(0, false))) return false;
  uint8_t flag;
  MessageTextEngine scratch;
  if (!in.u8(flag) || flag != 1 || scratch.LoadHistory(in, false) != 0) return false;
  uint32_t length;
  return in.u32le(length) && !in.has(length);
}

int SaveData::RestoreState(std::span<const uint8_t> blob) {
  const bool keep = Settings().keepHistoryInSaves != 0;
  return Restore(blob, keep, keep, false);
}

int SaveData::TakeSnapshot() {
  // Asked with history exactly when the setting keeps none: the blob never holds history, so a
  // snapshot never nests another.
  const bool keep = Settings().keepHistoryInSaves != 0;
  std::vector<uint8_t> blob;
  DropSnapshot();
  if (int r = SerializeState(blob, !keep)) return r;
  snapshot_ = std::move(blob);
  hasSnapshot_ = true;
  return 0;
}

int SaveData::RestoreSnapshot() {
  if (!hasSnapshot_) return kNoSnapshot;
  std::vector<uint8_t> blob = std::move(snapshot_);
  DropSnapshot();
  return RestoreState(blob);
}

int SaveData::GetMessageComment(std::string& comment) {
  ScriptMessageText* text = Text();
  uint32_t word = 0;
  if (commentSource_ == 0 || !host_.GetMemory().Valid(commentSource_, 4)) {
    return kCommentUnavailable;
  }
  host_.GetMemory().Read32(commentSource_, word);
  if (word == 0 || !text || !text->Body()) return kCommentUnavailable;
  const int32_t shown = text->ShownPosition();
  const bool switched = text->HistoryCount() > 0 && shown != text->HistoryCount() - 1;
  // The entry exists: the switch is only made when the history holds it.
  if (switched) (void)text->ShowLastHistory();
  std::string body(kMessageTextMax, '\0');
  body.resize(
      std::min<size_t>(text->ExtractPlainText(body.data(), body.size(), true), body.size() - 1));
  std::string name;
  if (uint32_t length = text->GetTextPart(1, nullptr, 0); length > 1) {
    name.resize(length);
    text->GetTextPart(1, name.data(), name.size());
    name.resize(length - 1);
  }
  // Back to the entry that was shown, which is still there.
  if (switched) (void)text->ShowHistoryAt(shown);
  body.resize(std::min(body.find('\0'), body.size()));
  if (body.empty()) return kCommentEmpty;
  comment = name.empty()
                ? body
                : host::Cp932Literal("【") + name + host::Cp932Literal("】") + "\r\n" + body;
  return 0;
}

// ---- Writing --------------------------------------------------------------------------------

int SaveData::MakeThumbnail(std::vector<uint8_t>& rows, SaveFrameState* frame,
                            const SaveSettings& settings) {
  SaveSceneLayer scene;
  std::string picture;
  if (frame) {
    scene = frame->BaseSceneLayer();
    picture = frame->ThumbnailPictureName();
  } else {
    if (layerHandle_ && resolveLayer_) scene = resolveLayer_(layerHandle_);
    picture = GuestText(pictureName_, kPictureNameMax);
  }
  // A layer running a two-layer transition shows its linked layer's picture.
  const bool attached = scene.holder && scene.holder->HasSource();
  if (attached && scene.holder->GetSource()->GetKind() < kFilterTwoLayerLimit) {
    SurfaceLayer* linked = scene.holder->GetLinkedLayer();
    if (!linked) return kWriteNoLayer;
    scene = {linked->GetCompositionLayer(), linked};
  }
  CompositionLayer* layer = scene.composition;
  if (!layer) return kWriteNoLayer;

  ImageSurface thumbnail;
  if (!picture.empty()) {
    const std::string name = "SYS\\_" + std::string(LastComponent(picture));
    ImageSurface prepared;
    // A prepared thumbnail is optional: looked for first, so that its absence is not reported
    // as a picture the game is missing.
    if (FileExists(name.c_str()) && prepared.Load(name.c_str(), nullptr, 0, 0) == 0 &&
        prepared.GetPixels()) {
      // One left at 8 bits is passed over below, and the screen gives the thumbnail.
      if (prepared.GetBitsPerPixel() != 32) (void)prepared.ConvertDepth(32);
      if (IsThumbnailSized(prepared)) {
        TakeThumbnailRows(prepared, rows);
        return 0;
      }
      // Any other size is stretched to fit rather than read past its rows.
      if (thumbnail.Create(kThumbnailWidth, kThumbnailHeight, 32, 0) != 0) return kWriteNoThumbnail;
      const Size size{kThumbnailWidth, kThumbnailHeight};
      if (prepared.GetBitsPerPixel() == 32 &&
          thumbnail.StretchBlit(&prepared, &size, 0, 0, nullptr, false) == 0) {
        TakeThumbnailRows(thumbnail, rows);
        return 0;
      }
      thumbnail.Release();
    }
  }
  if (thumbnail.Create(kThumbnailWidth, kThumbnailHeight, 32, 0) != 0) return kWriteNoThumbnail;
  const Size size{kThumbnailWidth, kThumbnailHeight};
  ImageSurface* target = layer->GetTarget();
  if (!attached && settings.thumbnailWithoutFrame == 0) {
    if (!target || thumbnail.StretchBlit(target, &size, 0, 0, nullptr, false) != 0) {
      return kWriteBlitFailed;
    }
  } else {
    ImageSurface work;
    if (!target || work.Create(target->GetWidth(), target->GetHeight(), 32, 0) != 0) {
      return kWriteNoWorkSurface;
    }
    // A thumbnail that cannot be drawn is saved as it stands.
    (void)layer->RenderTo(&work, kRenderTagDiffers, kNoTag, settings.thumbnailWithoutFrame == 0);
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)thumbnail.StretchBlit(&work, &size, 0, 0, nullptr, false);
  }
  TakeThumbnailRows(thumbnail, rows);
  return 0;
}

// The box gives the code alone; the player who must make room needs the system's reason.
void SaveData::TellWriteFailure(const std::string& utf8Path, const std::string& reason) {
  if (ScriptApplication* app = host_.Application())
    app->TellDetail("the save " + utf8Path + " was not written: " + reason);
}

int SaveData::WriteSaveData(int32_t page, int32_t slot) {
  try {
    SaveSettings settings = Settings();
    SaveFrameState* frame = Frame();
    SaveHeader header;
    if (int r = MakeThumbnail(header.thumbnail, frame, settings)) return r;
    PutTitle(header.title, frame ? frame->SceneTitle() : GuestText(title_, kTitleTextMax + 1));
    if (settings.commentFromMessage != 0) {
      std::string comment;
      if ((frame ? frame->GetComment(comment) : GetMessageComment(comment)) == 0) {
        PutComment(header.comment, comment);
      }
    }
    const bool ring = slot < 0 && (page == kAutoPage || page == kQuickPage);
    if (ring) {
      slot = page == kAutoPage ? CheckedAutoSlot(settings.nextAutoSlot)
                               : CheckedQuickSlot(settings.nextQuickSlot);
    }
    // Everything is made before the file is touched: a failure keeps the old one.
    std::vector<uint8_t> blob;
    if (SerializeState(blob, true) != 0) return kWriteStateFailed;
    PackedBlock packed = PackStateBlock(blob);
    const std::vector<uint8_t> file =
        EncodeSaveFileStored(header, packed.stored, packed.unpackedSize);
    std::string path;
    if (!ResolveLinuxPath(SlotPath(page, slot), nullptr, path)) {
      TellWriteFailure(host::Cp932ToUtf8Lenient(SlotPath(page, slot)),
                       "it has no place among the game's folders");
      return kWriteFileFailed;
    }
    AtomicFileWriter writer;
    if (!writer.Open(path) || !writer.Write(file.data(), file.size()) || !writer.Commit()) {
      TellWriteFailure(path, writer.Error().message());
      return kWriteFileFailed;
    }
    // The counters move only once the file is there.
    if (ring && page == kAutoPage) {
      settings.nextAutoSlot = static_cast<uint8_t>(slot >= kRingLast ? 0 : slot + 1);
    } else if (ring) {
      settings.nextQuickSlot = static_cast<uint8_t>(slot >= kRingLast ? kQuickRingFirst : slot + 1);
    }
    if (page == kAutoPage) settings.lastAutoSlot = static_cast<uint8_t>(slot);
    if (page == kQuickPage && slot >= kQuickRingFirst) {
      settings.lastQuickSlot = static_cast<uint8_t>(slot);
    }
    settings.savedOnce = 1;
    StoreSettings(settings, ring);
    return 0;
  } catch (const std::bad_alloc&) {
    return kWriteUnexpected;
  }
}

// ---- Reading --------------------------------------------------------------------------------

int SaveData::FindSaveFileName(std::string& name, int32_t page, int32_t slot) {
  std::string path;
  if (slot < 0 && (page == kAutoPage || page == kQuickPage)) {
    const SaveSettings settings = Settings();
    const bool automatic = page == kAutoPage;
    int32_t s = automatic ? CheckedAutoSlot(settings.nextAutoSlot)
                          : CheckedQuickSlot(settings.nextQuickSlot);
    const int tries = automatic ? 10 : 5;
    for (int i = 0; i < tries; ++i) {
      s = s - 1;
      if (automatic && s < 0) s = kRingLast;
      if (!automatic && s < kQuickRingFirst) s = kRingLast;
      if (SlotFile(page, s, path) == 0) {
        name = SlotPath(page, s);
        return 0;
      }
    }
    return automatic ? kFindNoAutoFile : kFindNoQuickFile;
  }
  name = SlotPath(page, slot);
  return SlotFile(page, slot, path) == 0 ? 0 : kFindNoFile;
}

int SaveData::LoadSaveData(int32_t page, int32_t slot) {
  std::string name;
  if (page >= 0) {
    if (FindSaveFileName(name, page, slot) != 0) return kLoadNoFile;
  } else {
    name = host_.CurrentSaveName();
  }
  return LoadSaveFile(name);
}

int SaveData::LoadSaveFile(const std::string& name) {
  std::string path;
  std::vector<uint8_t> bytes;
  try {
    if (name.empty() || !ResolveLinuxPath(name, nullptr, path) ||
        !host::ReadWholeFile(path, bytes)) {
      return kLoadOpenFailed;
    }
    SaveFileContents file;
    if (int r = ReadSaveFile(bytes, file)) return r;
    std::vector<uint8_t> blob;
    if (int r = UnpackSaveState(file, blob)) return r;
    if (SnapshotPastBlob(blob)) return kLoadBadFile;
    return RestoreState(blob) == 0 ? 0 : kLoadRestoreFailed;
  } catch (const std::bad_alloc&) {
    return kLoadNoMemory;
  }
}

namespace {

// The fixed part of a slot file: 0, kSlotOpenFailed or kSlotBadMagic.
int ReadSlotHeader(const std::string& path, SaveHeader& header) {
  host::HostFile file;
  if (!file.Open(path, host::HostFile::Access::kRead)) return kSlotOpenFailed;
  std::vector<uint8_t> bytes(kStoredSizeOffset);
  bytes.resize(file.Read(bytes.data(), static_cast<uint32_t>(bytes.size())));
  ByteReader in(bytes);
  return ReadSaveHeader(in, header) == 0 ? 0 : kSlotBadMagic;
}

std::string SlotDate(const std::string& path) {
  std::optional<host::FileStatus> status = host::QueryFile(path);
  FileTimeFields fields;
  if (!status || !ToLocalFields(status->lastWrite, fields)) return {};
  return FormatSaveDate(
      {fields.year, fields.month, fields.day, fields.dayOfWeek, fields.hour, fields.minute});
}

}  // namespace

int SaveData::GetSaveSlotCaption(std::string* text, int32_t page, int32_t slot, uint8_t style) {
  if (!text) return kSlotNullBuffer;
  std::string path;
  if (SlotFile(page, slot, path) != 0) return kSlotNoFile;
  SaveHeader header;
  if (int r = ReadSlotHeader(path, header)) return r;
  *text = FormatSaveCaption(FieldText(header.title), SlotDate(path), style);
  return 0;
}

int SaveData::ReadSaveSlotInfo(int32_t page, int32_t slot, ImageSurface* thumbnail,
                               std::string* title, std::string* comment, uint8_t* protect,
                               std::string* date, bool fold) {
  std::string path;
  if (SlotFile(page, slot, path) != 0) return kSlotNoFile;
  SaveHeader header;
  if (int r = ReadSlotHeader(path, header)) return r;
  if (thumbnail) {
    if (!thumbnail->GetPixels() || thumbnail->GetBitsPerPixel() != 32 ||
        thumbnail->GetWidth() < kThumbnailWidth || thumbnail->GetHeight() < kThumbnailHeight) {
      return kSlotNoPixels;
    }
    for (int32_t y = 0; y < kThumbnailHeight; ++y) {
      uint8_t* row = thumbnail->GetRowPointer(y);
      const uint8_t* stored = header.thumbnail.data() + y * kThumbnailRowBytes;
      for (int32_t x = 0; x < kThumbnailWidth; ++x) std::memcpy(row + x * 4, stored + x * 3, 3);
    }
  }
  if (title) *title = FieldText(header.title);
  if (comment) {
    *comment = FieldText(header.comment);
    if (fold) *comment = FoldComment(*comment);
  }
  if (protect) *protect = header.protect;
  if (date) *date = SlotDate(path);
  return 0;
}

int SaveData::SetSaveSlotComment(int32_t page, int32_t slot, std::string_view text) {
  std::string path;
  if (SlotFile(page, slot, path) != 0) return kSlotNoFile;
  std::vector<uint8_t> bytes;
  if (!host::ReadWholeFile(path, bytes)) return kCommentOpenFailed;
  ByteReader in(bytes);
  SaveHeader header;
  if (ReadSaveHeader(in, header) != 0) return kCommentBadFile;
  // Only the text and its NUL change; the rest of the field keeps its bytes.
  PutComment(bytes.data() + kCommentOffset, text);
  return WriteFileAtomically(path, bytes) ? 0 : kCommentOpenFailed;
}

int SaveData::CopySaveSlot(int32_t fromPage, int32_t fromSlot, int32_t toPage, int32_t toSlot) {
  std::string from, to;
  if (SlotFile(fromPage, fromSlot, from) != 0) return kCopyNoSource;
  if (!ResolveLinuxPath(SlotPath(toPage, toSlot), nullptr, to)) return kCopyFailedCode;
  return CopyFileKeepingTime(from, to, true) ? 0 : kCopyFailedCode;
}

int SaveData::DeleteSaveSlot(int32_t page, int32_t slot) {
  std::string path;
  if (SlotFile(page, slot, path) != 0) return kDeleteNoFile;
  return host::RemoveFile(path) ? 0 : kDeleteFailed;
}

}  // namespace bw
