// The game's save data: slot files in the save folder (12 pages of 10 slots, with the automatic
// ring on page 0 and the quick ring on slots 5-9 of page 1), the state blob they carry, the kept
// in-memory snapshot, and the save context the natives set. It lives with the script host.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "savedata/save_sources.h"
#include "script/script_host.h"

namespace bw {

class CompositionLayer;
class ImageSurface;
class ScriptMessageText;

// WriteSaveData
constexpr int kWriteNoLayer = 1;
constexpr int kWriteNoThumbnail = 2;
constexpr int kWriteNoWorkSurface = 3;
constexpr int kWriteBlitFailed = 4;
constexpr int kWriteFileFailed = 5;  // create, write or commit; the old file stays
constexpr int kWriteStateFailed = 6;
constexpr int kWriteUnexpected = -1;
// LoadSaveData / LoadSaveFile
constexpr int kLoadNoFile = -1;
constexpr int kLoadOpenFailed = 1;
constexpr int kLoadNoMemory = 2;
constexpr int kLoadBadFile = 3;
constexpr int kLoadRestoreFailed = 4;
constexpr int kLoadReservedWord = 5;
// SerializeState
constexpr int kSerializeVariables = 1;
constexpr int kSerializeFrame = 3;
// RestoreState
constexpr int kRestoreNoBlob = 1;
constexpr int kRestoreVariables = 2;
constexpr int kRestoreRest = 3;
constexpr int kNoSnapshot = -1;
// GetMessageComment
constexpr int kCommentUnavailable = 1;
constexpr int kCommentEmpty = 2;
// FindSaveFileName
constexpr int kFindNoAutoFile = 1;
constexpr int kFindNoQuickFile = 2;
constexpr int kFindNoFile = 3;
// The slot readers and editors
constexpr int kSlotNoFile = -1;
constexpr int kSlotNullBuffer = 1;  // caption
constexpr int kSlotNoPixels = 1;    // slot info's thumbnail surface
constexpr int kSlotOpenFailed = 2;
constexpr int kSlotBadMagic = 3;
constexpr int kCommentOpenFailed = 1;
constexpr int kCommentBadFile = 2;  // wrong magic, or shorter than its header
constexpr int kCopyNoSource = 1;
constexpr int kCopyFailedCode = 3;
constexpr int kDeleteNoFile = 1;
constexpr int kDeleteFailed = 2;

constexpr int32_t kAutoPage = 0;
constexpr int32_t kQuickPage = 1;
constexpr uint8_t kQuickRingFirst = 5;
constexpr uint8_t kRingLast = 9;
constexpr size_t kPictureNameMax = 259;

class SaveData : public ScriptHostExtension {
 public:
  explicit SaveData(ScriptHost& host);
  ~SaveData() override;

  [[nodiscard]] int WriteSaveData(int32_t page, int32_t slot);
  [[nodiscard]] int LoadSaveData(int32_t page, int32_t slot);
  [[nodiscard]] int LoadSaveFile(const std::string& name);
  [[nodiscard]] int SerializeState(std::vector<uint8_t>& out, bool historyRequest);
  [[nodiscard]] int RestoreState(std::span<const uint8_t> blob);

  [[nodiscard]] int TakeSnapshot();
  [[nodiscard]] int RestoreSnapshot();
  void DropSnapshot() { snapshot_.clear(), hasSnapshot_ = false; }
  bool HasSnapshot() const { return hasSnapshot_; }
  std::span<const uint8_t> Snapshot() const { return snapshot_; }

  int GetMessageComment(std::string& text);
  int FindSaveFileName(std::string& name, int32_t page, int32_t slot);
  int GetSaveSlotCaption(std::string* text, int32_t page, int32_t slot, uint8_t style);
  // Each output may be null; the thumbnail surface must be 32-bit and at least 120 x 90.
  [[nodiscard]] int ReadSaveSlotInfo(int32_t page, int32_t slot, ImageSurface* thumbnail,
                                     std::string* title, std::string* comment, uint8_t* protect,
                                     std::string* date, bool fold);
  [[nodiscard]] int SetSaveSlotComment(int32_t page, int32_t slot, std::string_view text);
  [[nodiscard]] int CopySaveSlot(int32_t fromPage, int32_t fromSlot, int32_t toPage,
                                 int32_t toSlot);
  [[nodiscard]] int DeleteSaveSlot(int32_t page, int32_t slot);

  // The save context (guest addresses, read when a save is written).
  void SetSaveContext(uint16_t bootValue, uint32_t title, uint32_t commentSource) {
    bootValue_ = bootValue, title_ = title, commentSource_ = commentSource;
  }
  void SetThumbnailSource(uint32_t layerHandle, uint32_t pictureName) {
    layerHandle_ = layerHandle, pictureName_ = pictureName;
  }
  uint16_t BootValue() const { return bootValue_; }
  uint32_t TitleAddress() const { return title_; }
  uint32_t CommentSource() const { return commentSource_; }
  // Turns the thumbnail layer's handle into the layer (null: none).
  void SetLayerResolver(std::function<SaveSceneLayer(uint32_t)> resolver) {
    resolveLayer_ = std::move(resolver);
  }

  // The settings: the application's, else ones kept here.
  SaveSettings Settings();
  void StoreSettings(const SaveSettings& settings, bool write);
  SaveFrameState* Frame() const;
  // The engine path of a slot's file.
  std::string SlotPath(int32_t page, int32_t slot) const;

 private:
  void TellWriteFailure(const std::string& utf8Path, const std::string& reason);
  // Blob parts with their flags given (the put-back copy forces the history in).
  [[nodiscard]] int Serialize(std::vector<uint8_t>& out, bool historyFlag, bool frameFlag);
  [[nodiscard]] int Restore(std::span<const uint8_t> blob, bool historyRestore, bool frameFlag,
                            bool putBack);
  [[nodiscard]] int MakeThumbnail(std::vector<uint8_t>& thumbnail, SaveFrameState* frame,
                                  const SaveSettings& settings);
  int SlotFile(int32_t page, int32_t slot, std::string& linuxPath) const;
  // A blob whose variables and history read but whose kept snapshot claims more than is left.
  [[nodiscard]] bool SnapshotPastBlob(std::span<const uint8_t> blob);
  ScriptMessageText* Text() const;
  std::string GuestText(uint32_t address, size_t max) const;

  ScriptHost& host_;
  SaveSettings ownSettings_;
  std::vector<uint8_t> snapshot_;
  bool hasSnapshot_ = false;
  uint16_t bootValue_ = 0;
  uint32_t title_ = 0;
  uint32_t commentSource_ = 0;
  uint32_t layerHandle_ = 0;
  uint32_t pictureName_ = 0;
  std::function<SaveSceneLayer(uint32_t)> resolveLayer_;
};

// The host's save data (made on first use).
inline SaveData& SaveDataOf(ScriptHost& host) {
  return host.Extension<SaveData>();
}

}  // namespace bw
