#include "gui/script_text.h"

#include <memory>

#include "common/gone_notice.h"
#include "effects/cell_anim_tasks.h"
#include "gui/check_part.h"
#include "gui/text_typing_task.h"
#include "platform/timer_service.h"

namespace bw {

namespace {

// A check box standing for the message window's state: checked is busy.
class CheckWindowState : public MessageWindowState {
 public:
  explicit CheckWindowState(CheckPartBase* check) : check_(check) {}
  int GetState() const override { return check_->GetState(); }
  // False only when the flag was already so.
  void SetFlag(uint8_t flag) override { (void)check_->SetEnabled(flag != 0); }
  // False only when the mark was already so.
  void Cancel() override { (void)check_->SetChecked(false); }
  // The address the part's gone notice names.
  const void* Part() const { return static_cast<const UiControl*>(check_); }

 private:
  CheckPartBase* check_;
};

}  // namespace

ScriptText::ScriptText(MessageTextEngine* engine, TimerService* timers)
    : engine_(engine), timers_(timers) {}

ScriptText::~ScriptText() {
  if (listening_) RemoveGoneListener(&ScriptText::OnGone, this);
  ScriptText::Destroy();
}

void ScriptText::Listen() {
  if (listening_) return;
  listenThread_ = std::this_thread::get_id();
  AddGoneListener(&ScriptText::OnGone, this);
  listening_ = true;
}

void ScriptText::OnGone(const void* object, void* self) {
  auto* text = static_cast<ScriptText*>(self);
  if (std::this_thread::get_id() != text->listenThread_) return;
  // Parts announce themselves by their control base.
  if (text->nameBox_ && object == static_cast<const UiControl*>(text->nameBox_)) {
    text->nameBox_ = nullptr;
  }
  if (text->checkState_ &&
      static_cast<const CheckWindowState*>(text->checkState_.get())->Part() == object) {
    if (text->windowState_ == text->checkState_.get()) text->windowState_ = nullptr;
    text->checkState_.reset();
  }
}

void ScriptText::SetNameBox(MessageTextWidget* box, uint8_t alignment) {
  nameBox_ = box;
  nameAlignment_ = alignment;
  if (box) Listen();
}

void ScriptText::BindStateCheck(CheckPartBase* check) {
  if (windowState_ == checkState_.get()) windowState_ = nullptr;
  checkState_.reset();
  if (!check) return;
  checkState_ = std::make_unique<CheckWindowState>(check);
  windowState_ = checkState_.get();
  Listen();
}

int ScriptText::SetPosition(int32_t x, int32_t y) {
  const int32_t dx = x - GetX();
  const int32_t dy = y - GetY();
  const int rc = MessageTextWidget::SetPosition(x, y);
  if (rc == kWidgetDone && nameBox_)
    // Moving a part that is made cannot fail.
    (void)nameBox_->SetPosition(nameBox_->GetX() + dx, nameBox_->GetY() + dy);
  return rc;
}

void ScriptText::SetVisible(bool visible) {
  MessageTextWidget::SetVisible(visible);
  if (nameBox_) nameBox_->SetVisible(visible && hasName_);
}

void ScriptText::Destroy() {
  if (timers_ && task_) {
    task_->Detach();
    // A task that ended on its own is gone already.
    (void)timers_->RemoveByHandle(task_->Handle());
  }
  task_ = nullptr;
  MessageTextWidget::Destroy();
}

int ScriptText::SetBackgroundColor(int kind, uint32_t rgb, int opacity, bool redraw) {
  const int rc = MessageTextWidget::SetBackgroundColor(kind, rgb, opacity, redraw);
  // The name box follows the window: its own answer adds nothing to the window's.
  if (nameBox_) (void)nameBox_->SetBackgroundColor(kind, rgb, opacity, redraw);
  KeepWaitMarkBackground();
  return rc;
}

void ScriptText::NewPage() {
  Home(true);
  if (nameBox_) nameBox_->SetVisible(false);
  hasName_ = false;
}

int ScriptText::MakeTask() {
  if (task_) return kWidgetDone;
  auto task = std::make_unique<TextTypingTask>(this);
  TextTypingTask* listed = task.get();
  if (timers_->Add(std::move(task), 0, 0, 0) != kTaskAdded) return kDisplayTaskRefused;
  task_ = listed;
  task_->SetOwnerSlot(&task_);
  return kWidgetDone;
}

int ScriptText::StartDisplay(int mode) {
  if (!engine_ || !timers_) return kDisplayNotReady;
  if (MakeTask() != kWidgetDone) return kDisplayTaskRefused;
  if (waitSource_ && !waitTask_ && SetUpWaitMark(waitSource_, timers_) != kFrameAnimSetUp) {
    return kDisplayWaitMarkFailed;
  }
  return task_->Start(false, mode);
}

int ScriptText::StartDisplayAll() {
  if (!engine_ || !timers_) return kDisplayNotReady;
  if (MakeTask() != kWidgetDone) return kDisplayTaskRefused;
  return task_->Start(true, 1);
}

int ScriptText::StepDisplay(int operation) {
  if (!task_) return kStepNoTask;
  switch (operation) {
    case 0:
      // A step that fails stops at the text it could not read, as the last kind tells.
      (void)task_->Step(true);
      break;
    case 1:
      // Through mid-text waits, up to a wait before a section's end, the end or an error.
      do {
        (void)task_->Step(true);
      } while (task_ && task_->GetLastKind() >= 0 && task_->GetLastKind() < 2);
      break;
    case 2:
      (void)task_->Finish();
      break;
    case 3:
      (void)task_->Continue();  // only a task that waits goes on
      break;
    default:
      return kStepUnknown;
  }
  return kWidgetDone;
}

void ScriptText::SetWaitMark(CellImage* source) {
  RemoveWaitMark();
  waitSource_ = source;
}

}  // namespace bw
