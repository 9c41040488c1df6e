// The running scenario frame as the save data sees it: its script state and scene block, the
// thumbnail's source, the title and the comment. It follows whichever frame runs now.
#pragma once

#include "savedata/save_sources.h"

namespace bw {

class TgsFrame;

class TgsFrameSaveState : public SaveFrameState {
 public:
  // Null when no frame runs.
  static TgsFrame* Frame();

  SaveSceneLayer BaseSceneLayer() override;
  std::string ThumbnailPictureName() override;
  std::string SceneTitle() override;
  int GetComment(std::string& text) override;
  uint32_t StateSize(bool history) override;
  [[nodiscard]] int WriteState(std::vector<uint8_t>& out, bool history) override;
  [[nodiscard]] int ReadState(ByteReader& in, bool history) override;
  void RestoreCursor() override;
  [[nodiscard]] int32_t QueryReadFlags(int32_t query, const std::string& script) override;
};

}  // namespace bw
