// The message window's face animation: a path that moves, fades and turns the window, run before
// the message is waited for (built-ins 31-34). Its end state is kept for save data.
#include "graphics/surface/sprite.h"
#include "scenario/tgs/tgs_frame.h"

namespace bw {

namespace {

// Only window 0 exists; a negative window is the current one.
int32_t WindowOf(int32_t window, int32_t current) {
  return window < 0 ? current : window;
}

}  // namespace

int32_t TgsFrame::MessageTalk(int32_t window, int32_t time, TgsText path, bool show) {
  // A loaded game resumes at its message: the rebuild has already put the window back.
  if (restoring_) return MessageWait();
  // Text committed already is only shown and waited for.
  const bool committed = Text().empty();
  const bool changed = pageChanged_;
  if (!committed) {
    if (show) {
      if (pageChanged_ && !rebuilding_ && GetRevealTime() == 0) H().FinishTyping();
      // The text is committed when there is any.
      (void)CommitMessageText();
    } else {
      MarkCurrentRead();
    }
    // A window that cannot move still shows its message.
    (void)TalkAnimation(window, time, path, false);
    if (!show) return 0;
  }
  if (!rebuilding_) {
    if (int r = ShowMessage(2, true); r != 0) return r;
  }
  EndPage(changed);
  return 0;
}

int32_t TgsFrame::TalkAnime(int32_t window, TgsText path) {
  return TalkAnimation(window, 0, path, true);
}

int32_t TgsFrame::TalkAnimation(int32_t window, int32_t time, TgsText path, bool immediate) {
  if (WindowOf(window, currentWindow_) != 0) return kBadWindow;
  TgsWindowTransform transform;
  const int32_t r = scene_->AnimateWindow(H().WindowSprite(), path, time, immediate, transform);
  if (r == 0) windowTransform_ = transform.ToBytes();
  return r;
}

int32_t TgsFrame::WaitTalkAnime(int32_t window, bool skippable) {
  if (WindowOf(window, currentWindow_) != 0) return kBadWindow;
  return scene_->WaitWindowAnimation(skippable);
}

int32_t TgsFrame::ReleaseTalkAnime(int32_t window) {
  if (WindowOf(window, currentWindow_) != 0) return kBadWindow;
  scene_->ReleaseWindowAnimation();
  return 0;
}

void TgsFrame::EndWindowAnimation() {
  scene_->ReleaseWindowAnimation();
  windowTransform_ = {};
}

void TgsFrame::ApplyWindowTransform() {
  Sprite* sprite = H().WindowSprite();
  if (sprite) TgsWindowTransform::FromBytes(windowTransform_).ApplyTo(*sprite);
}

}  // namespace bw
