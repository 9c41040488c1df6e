// What the save data reads of its neighbours that live above it or come later: the player's save
// settings (kept in the user block of the settings file), the scenario frame's state and texts,
// and the text panel. The application hands them over; tests fake them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/byte_reader.h"

namespace bw {

class CompositionLayer;
class SurfaceLayer;
class TextRenderer;

// The layer a thumbnail is taken from: its composition and, when it has one, the surface layer
// holding it, whose attached filter and linked layer decide where the picture comes from.
struct SaveSceneLayer {
  CompositionLayer* composition = nullptr;
  SurfaceLayer* holder = nullptr;
};

// The save fields of the user block.
struct SaveSettings {
  uint8_t keepHistoryInSaves = 1;
  uint8_t nextAutoSlot = 0;
  uint8_t nextQuickSlot = 5;
  uint8_t commentFromMessage = 1;
  uint8_t thumbnailWithoutFrame = 1;
  uint8_t savedOnce = 0;
  uint8_t lastAutoSlot = 0;
  uint8_t lastQuickSlot = 0;
};

class SaveSettingsStore {
 public:
  virtual ~SaveSettingsStore() = default;
  virtual SaveSettings GetSaveSettings() = 0;
  // Takes the fields in; write also stores the settings file.
  virtual void SetSaveSettings(const SaveSettings& settings, bool write) = 0;
};

// The running scenario frame as the save data sees it.
class SaveFrameState {
 public:
  virtual ~SaveFrameState() = default;
  // The thumbnail's source; null when it has none.
  virtual SaveSceneLayer BaseSceneLayer() = 0;
  virtual std::string ThumbnailPictureName() = 0;  // CP932, may be empty
  virtual std::string SceneTitle() = 0;
  // 0 with the current message's comment text; non-zero when there is none.
  virtual int GetComment(std::string& text) = 0;
  virtual uint32_t StateSize(bool history) = 0;
  // 0 when the state was appended to out.
  [[nodiscard]] virtual int WriteState(std::vector<uint8_t>& out, bool history) = 0;
  // 0 when the state was read back.
  [[nodiscard]] virtual int ReadState(ByteReader& in, bool history) = 0;
  // Shows the pointer again where the message display hid it.
  virtual void RestoreCursor() = 0;
  // Read-message flags of the named scenario (empty: every scenario): query 0 counts them, 1
  // counts the set ones, 2 answers whether all are set, 3 whether a skip flag is on.
  [[nodiscard]] virtual int32_t QueryReadFlags(int32_t query, const std::string& script) = 0;
};

// The text panel with its two outline renderers.
class SaveTextPanel {
 public:
  virtual ~SaveTextPanel() = default;
  virtual TextRenderer* Renderer(int which) = 0;
  [[nodiscard]] virtual int32_t ShowCaption(const std::string& text, uint32_t ms) = 0;
  [[nodiscard]] virtual int32_t MovePointerToPart(uint32_t part, bool flag, int32_t value) = 0;
};

}  // namespace bw
