#include "natives/save_natives.h"

#include <cmath>
#include <memory>
#include <string>

#include "effects/path_tasks.h"
#include "graphics/surface/display_object.h"
#include "graphics/surface/sprite.h"
#include "natives/native_families.h"
#include "natives/native_helpers.h"
#include "natives/object_casts.h"
#include "natives/sound_helpers.h"
#include "natives/system_natives.h"
#include "platform/timer_service.h"
#include "savedata/save_data.h"
#include "savedata/save_file.h"
#include "script/native_names.h"
#include "script/script_host.h"

namespace bw {

namespace {

SaveData& Save(NativeArgs& a) {
  return SaveDataOf(a.Host());
}

// Writes text cut to limit bytes with its terminator; a bad address faults.
void PutLimited(NativeArgs& a, uint32_t address, const std::string& text, uint32_t limit) {
  // A bad address faults the call, which the run sees.
  if (address != 0) (void)PutGuestText(a.Memory(), address, FitField(text, limit));
}

SaveTextPanel* Panel(NativeArgs& a) {
  ScriptApplication* app = a.Host().Application();
  return app ? app->SaveTextPanelSource() : nullptr;
}

TimerService* TaskList(NativeArgs& a) {
  if (TimerService* timers = EffectTimers()) return timers;
  ScriptApplication* app = a.Host().Application();
  return app ? app->GeneralTimers() : nullptr;
}

// 39
int32_t SetSaveBootValues(NativeArgs& a) {
  const uint32_t boot = a.U32(0);
  if (boot == 0) return 0;
  const uint16_t value = static_cast<uint16_t>(boot);
  Save(a).SetSaveContext(value, a.U32(1), a.U32(2));
  a.Host().SetBootValue(value);
  a.Host().ClearMarkedVariables();
  return 1;
}

// 40
int32_t MarkVariable(NativeArgs& a) {
  const uint32_t address = a.U32(0);
  if (address == 0) return 0;
  // Without a snapshot, or for an address no variable has, nothing is marked; the script is
  // answered 1 as before.
  (void)a.Host().AddMarkedVariable(address);
  return 1;
}

// 41
int32_t SetThumbnailSource(NativeArgs& a) {
  ScriptHost& host = a.Host();
  Save(a).SetThumbnailSource(a.U32(0), a.U32(1));
  Save(a).SetLayerResolver([&host](uint32_t handle) {
    CompositionLayer* container = nullptr;
    SurfaceLayer* holder = GetObjectImageHolderAndContainer(host.Handles(), handle, &container);
    return SaveSceneLayer{holder ? container : GetObjectContainer(host.Handles(), handle), holder};
  });
  return 1;
}

// 42
int32_t SelectSaveFile(NativeArgs& a) {
  std::string name;
  if (Save(a).FindSaveFileName(name, a.I32(0), a.I32(1)) != 0) return 1;
  a.Host().SetCurrentSaveName(name);
  return 0;
}

int32_t WriteSave(NativeArgs& a) {
  return Save(a).WriteSaveData(a.I32(0), a.I32(1));
}
int32_t LoadSave(NativeArgs& a) {
  return Save(a).LoadSaveData(a.I32(0), a.I32(1));
}

// 45
int32_t ReadCaption(NativeArgs& a) {
  const uint32_t buffer = a.U32(0);
  std::string caption;
  const int r = Save(a).GetSaveSlotCaption(buffer ? &caption : nullptr, a.I32(1), a.I32(2),
                                           static_cast<uint8_t>(a.U32(3)));
  if (r == 0) PutLimited(a, buffer, caption, kCaptionBufferBytes);
  return r;
}

// 46: the eighth word is not read.
int32_t ReadSlotInfo(NativeArgs& a) {
  const uint32_t titleBuffer = a.U32(3), commentBuffer = a.U32(4), dateBuffer = a.U32(5);
  ImageSurface* thumbnail = GetObjectSurface(a.Host().Handles(), a.U32(2));
  std::string title, comment, date;
  const int r =
      Save(a).ReadSaveSlotInfo(a.I32(0), a.I32(1), thumbnail, titleBuffer ? &title : nullptr,
                               commentBuffer ? &comment : nullptr, nullptr,
                               dateBuffer ? &date : nullptr, static_cast<uint8_t>(a.U32(6)) != 0);
  if (r != 0) return r;
  PutLimited(a, titleBuffer, title, kTitleBufferBytes);
  PutLimited(a, commentBuffer, comment, kCommentBufferBytes);
  PutLimited(a, dateBuffer, date, kDateBufferBytes);
  return 0;
}

// 47
int32_t SetSlotComment(NativeArgs& a) {
  const int32_t page = a.I32(0), slot = a.I32(1);
  std::string text;
  if (!a.Text(2, text)) return 0;
  return Save(a).SetSaveSlotComment(page, slot, text);
}

int32_t CopySlot(NativeArgs& a) {
  return Save(a).CopySaveSlot(a.I32(0), a.I32(1), a.I32(2), a.I32(3));
}
int32_t DeleteSlot(NativeArgs& a) {
  return Save(a).DeleteSaveSlot(a.I32(0), a.I32(1));
}
int32_t TakeSnapshot(NativeArgs& a) {
  return Save(a).TakeSnapshot();
}
int32_t RestoreSnapshot(NativeArgs& a) {
  return Save(a).RestoreSnapshot();
}
int32_t HasSnapshot(NativeArgs& a) {
  return Save(a).HasSnapshot() ? 1 : 0;
}
int32_t DropSnapshot(NativeArgs& a) {
  Save(a).DropSnapshot();
  return 0;
}

// 54: the sprite grows or shrinks to f times its size in half the time and comes back.
int32_t SizePulse(NativeArgs& a) {
  DisplayObject* object = a.Handle<DisplayObject>(0, ScriptObjectType::kDisplayObject);
  Sprite* sprite = object && !object->IsColorRect() ? dynamic_cast<Sprite*>(object) : nullptr;
  const uint8_t mode = static_cast<uint8_t>(a.U32(1));
  if (!sprite || mode > 1) return 0;
  const uint32_t ms = a.U32(2);
  std::string factorText, easingText;
  bool noEasing = false;
  if (!a.Text(3, factorText) || !a.Text(4, easingText, &noEasing)) return 0;
  double factor = 0, easing = 0;
  if (!ParseDecimal(factorText, factor)) return 0;
  if (!noEasing && !ParseDecimal(easingText, easing)) easing = 0;
  const int32_t width = sprite->GetWidth(), height = sprite->GetHeight();
  const double targetWidth = std::trunc(width * factor), targetHeight = std::trunc(height * factor);
  if (!(targetWidth >= 0 && targetWidth <= kMaxPulseSize && targetHeight >= 0 &&
        targetHeight <= kMaxPulseSize)) {
    return 0;
  }
  const uint8_t anchor = mode == 0 && factor < 1.0 ? kPathAnchorEnd : kPathAnchorCentre;
  auto task = std::make_unique<SizePathTask>(ms / 2, 0, false, easing, kPathAnchorCentre, anchor,
                                             true, false, false, 1);
  const int32_t opacity = sprite->GetAlpha();
  const int32_t points[] = {static_cast<int32_t>(targetWidth),
                            static_cast<int32_t>(targetHeight),
                            opacity,
                            width,
                            height,
                            opacity};
  if (task->SetPoints(2, points) != kPathTaskDone ||
      task->StartOnSprite(TaskList(a), sprite) != kPathTaskDone) {
    return 0;
  }
  return static_cast<int32_t>(TaskHandleOf(a.Host(), TaskList(a)->HandOver(std::move(task))));
}

// 57
int32_t PanelRenderer(NativeArgs& a) {
  const uint32_t which = a.U32(0), renderer = a.U32(1);
  SaveTextPanel* panel = Panel(a);
  if (which != 0 || renderer > 1 || !panel) return 0;
  return static_cast<int32_t>(
      a.Host().Handles().HandleOf(ScriptObjectType::kTextRenderer, panel->Renderer(renderer)));
}

// 58
int32_t MultiPurpose(NativeArgs& a) {
  ScriptApplication* app = a.Host().Application();
  switch (a.U32(0)) {
    case 0:
      return PlayBgmNumber(a.Host(), a.I32(1), a.U32(2), a.U32(3) != 0);
    case 1:
      return CurrentBgmNumber(a.Host());
    case 2:
      return IsTaskAlive(TaskList(a), GetScriptTask(a.Host().Handles(), a.U32(1))) ? 1 : 0;
    case 3: {
      const uint32_t slot = a.U32(1);
      uint32_t handle = 0;
      if (slot == 0 || !a.Memory().Read32(slot, handle)) return 0;
      TimedTask* task = GetScriptTask(a.Host().Handles(), handle);
      a.Memory().Write32(slot, 0);
      return RemoveTask(TaskList(a), &task) ? 1 : 0;
    }
    case 4: {
      TimedTask* task = nullptr;
      // A move that does not start leaves no task: the handle answered is 0.
      (void)StartPointerMove(app, a.I32(1), a.I32(2), a.U32(3), a.U32(4) != 0,
                             static_cast<uint8_t>(a.U32(5)), &task);
      return static_cast<int32_t>(TaskHandleOf(a.Host(), task));
    }
    case 5: {
      SaveTextPanel* panel = Panel(a);
      std::string text;
      if (!a.Text(1, text)) return 0;
      return panel ? panel->ShowCaption(text, a.U32(2)) : kNoPanelCaption;
    }
    case 6: {
      SaveTextPanel* panel = Panel(a);
      return panel ? panel->MovePointerToPart(a.U32(1), a.U32(2) != 0, a.I32(3)) : kNoPanelPointer;
    }
    case 8:
      if (SaveFrameState* frame = Save(a).Frame()) frame->RestoreCursor();
      return 0;
    case 9: {
      SaveFrameState* frame = Save(a).Frame();
      const int32_t query = a.I32(1);
      if (!frame || query < 0 || query > 3) return 0;
      std::string name;
      if (!a.Text(2, name)) return 0;
      return frame->QueryReadFlags(query, name);
    }
    case 10:
      return a.Host().FindVariableIndex(a.U32(1));
    default:
      return kUnknownSubCommand;
  }
}

constexpr NativeEntry kEntries[] = {
    {Native::kSetSaveBootValues, SetSaveBootValues},
    {Native::kMarkVariable, MarkVariable},
    {Native::kSetSaveSettings, SetThumbnailSource},
    {Native::kSelectSaveFile, SelectSaveFile},
    {Native::kWriteSaveData, WriteSave},
    {Native::kReadSaveData, LoadSave},
    {Native::kReadSavePart, ReadCaption},
    {Native::kReadSaveInfo, ReadSlotInfo},
    {Native::kUpdateSaveFile, SetSlotComment},
    {Native::kCopySaveFile, CopySlot},
    {Native::kDeleteSaveFile, DeleteSlot},
    {Native::kTakeSnapshot, TakeSnapshot},
    {Native::kRestoreSnapshot, RestoreSnapshot},
    {Native::kHasSnapshot, HasSnapshot},
    {Native::kDropSnapshot, DropSnapshot},
    {Native::kTimedObjectOperation, SizePulse},
    {Native::kGetGlobalObject, PanelRenderer},
    {Native::kSystemSoundCommand, MultiPurpose},
};
constexpr NativeRange kNumbers[] = {{39, 54}, {57, 58}};

}  // namespace

const NativeFamily& SaveNativeFamily() {
  static const NativeFamily family{"save data", kEntries, kNumbers};
  return family;
}

}  // namespace bw
