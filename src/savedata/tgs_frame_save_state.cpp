#include "savedata/tgs_frame_save_state.h"

#include "graphics/layers/surface_layer.h"
#include "scenario/tgs/tgs_frame.h"

namespace bw {
namespace {

constexpr int kNoFrame = 1;

}  // namespace

TgsFrame* TgsFrameSaveState::Frame() {
  return TheTgsFrame::Get();
}

SaveSceneLayer TgsFrameSaveState::BaseSceneLayer() {
  TgsFrame* frame = Frame();
  if (!frame) return {};
  const TgsPageLayer& page = frame->Scene().Page(0);
  return {page.GetCompositionLayer(), page.Layer()};
}

std::string TgsFrameSaveState::ThumbnailPictureName() {
  TgsFrame* frame = Frame();
  return frame ? frame->Scene().Background(0).name : std::string();
}

std::string TgsFrameSaveState::SceneTitle() {
  TgsFrame* frame = Frame();
  return frame ? frame->SceneLabel() : std::string();
}

int TgsFrameSaveState::GetComment(std::string& text) {
  TgsFrame* frame = Frame();
  return frame ? frame->GetMessageSummary(text) : kNoFrame;
}

uint32_t TgsFrameSaveState::StateSize(bool history) {
  TgsFrame* frame = Frame();
  return frame ? frame->GetSceneSaveSize(history) : 0;
}

int TgsFrameSaveState::WriteState(std::vector<uint8_t>& out, bool history) {
  TgsFrame* frame = Frame();
  return frame ? frame->SaveScene(out, history) : kNoFrame;
}

int TgsFrameSaveState::ReadState(ByteReader& in, bool history) {
  TgsFrame* frame = Frame();
  return frame ? frame->LoadScene(in, history) : kNoFrame;
}

void TgsFrameSaveState::RestoreCursor() {
  // A cursor that was not hidden stays as it is.
  if (TgsFrame* frame = Frame()) (void)frame->RestoreCursor();
}

int32_t TgsFrameSaveState::QueryReadFlags(int32_t query, const std::string& script) {
  TgsFrame* frame = Frame();
  if (!frame) return 0;
  const char* name = script.empty() ? nullptr : script.c_str();
  switch (query) {
    case 0:
      return static_cast<int32_t>(frame->GetFlagCount(name));
    case 1:
      return static_cast<int32_t>(frame->GetSetFlagCount(name));
    case 2:
      return frame->IsAllFlagged(name) ? 1 : 0;
    case 3:
      return frame->SystemSkip() ? 1 : 0;
    default:
      return 0;
  }
}

}  // namespace bw
