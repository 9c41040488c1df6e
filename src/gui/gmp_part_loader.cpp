#include "gui/gmp_part_loader.h"

#include "common/gone_notice.h"
#include "graphics/device/display_manager.h"
#include "graphics/surface/image_surface.h"
#include "gui/part_manager.h"
#include "gui/pointer_manager.h"

namespace bw {

namespace {

// Check-part modes by kind: 4 and 5 check buttons, 6 and 8 radio buttons, 7 and 9 the radio
// buttons of the second look.
int CheckMode(uint8_t kind) {
  switch (kind) {
    case 4:
      return 0;
    case 5:
      return 1;
    case 6:
    case 8:
      return 2;
    default:
      return 3;
  }
}

bool IsRadio(uint8_t kind) {
  return kind >= 6;
}

}  // namespace

void GmpPartLoader::Clear() {
  // One the manager does not hold is gone already.
  if (display_ && background_) (void)display_->DestroyLayer(background_);
  background_ = nullptr;
  display_ = nullptr;
  parts_.clear();
  records_.clear();
  Listen(false);
}

void GmpPartLoader::Listen(bool on) {
  if (on == listening_) return;
  listening_ = on;
  if (on) {
    loadThread_ = std::this_thread::get_id();
    AddGoneListener(&GmpPartLoader::OnGone, this);
  } else {
    RemoveGoneListener(&GmpPartLoader::OnGone, this);
  }
}

int GmpPartLoader::MakePart(PartManager* parts, const GmpEntry& e, const std::string& path,
                            UiControl* previous, uint8_t previousKind, int pictureFlags,
                            UiControl** out) {
  *out = nullptr;
  const bool full = e.stateCode == GmpFullStateCode(e.kind);
  if (e.kind <= 3) {
    ButtonPart* button = nullptr;
    int result = parts->CreateFileButton(&button, path.c_str(),
                                         {.hasDisabledCell = full,
                                          .hasPressedCell = e.kind != 3,
                                          .x = e.x,
                                          .y = e.y,
                                          .blendMode = pictureFlags,
                                          .alpha = e.alpha});
    *out = button;
    return result;
  }
  // A radio part joins the group of the part made just before it when that one is its kind.
  UiControl* linked = IsRadio(e.kind) && previousKind == e.kind ? previous : nullptr;
  return parts->CreateFileCheckButton(out, CheckMode(e.kind), linked, 0, path.c_str(), full, e.x,
                                      e.y, pictureFlags, e.alpha);
}

int GmpPartLoader::Load(CompositionLayer* owner, DisplayManager* display, PartManager* parts,
                        PointerManager* manager, const char* name, int32_t firstId,
                        int pictureFlags, bool eightBit, bool withBackground) {
  Clear();
  if (!owner || !display || !parts || !manager || !name) return kGmpBadArguments;
  GmpFile file;
  std::string folder;
  int result = ReadGmpTable(name, false, &file, &folder);
  if (result != kGmpLoaded) return result;
  display_ = display;
  Listen(true);
  result = LoadGmpBackground(display, file, folder, withBackground, eightBit, &background_);
  if (result != kGmpLoaded) return result;

  uint8_t previousKind = 0;
  for (const GmpEntry& e : file.entries) {
    UiControl* part = nullptr;
    UiControl* previous = parts_.empty() ? nullptr : parts_.back();
    if (MakePart(parts, e, folder + e.name, previous, previousKind, pictureFlags, &part) != 0 ||
        !part) {
      // Half a screen is no screen: take back what this load made.
      for (UiControl* made : parts_) {
        if (made) (void)parts->DeletePart(made);  // the manager holds every part this load made
      }
      Clear();
      return GmpPartFailure(e.kind);
    }
    parts_.push_back(part);
    records_.push_back({e.width, e.height, e.stateCode});
    part->SetVisible(e.visible);
    previousKind = e.kind;
  }
  for (UiControl* part : parts_) {
    (void)manager->AddControl(part, -1);  // a part made here belongs to no manager yet
    if (firstId >= 0) part->SetId(firstId++);
  }
  ShowGmpBackground(owner, background_);
  return kGmpLoaded;
}

void GmpPartLoader::OnGone(const void* object, void* self) {
  auto* loader = static_cast<GmpPartLoader*>(self);
  if (std::this_thread::get_id() != loader->loadThread_) return;
  for (UiControl*& kept : loader->parts_) {
    if (kept == object) kept = nullptr;
  }
  if (loader->background_ && static_cast<const Surface*>(loader->background_) == object)
    loader->background_ = nullptr;
}

}  // namespace bw
