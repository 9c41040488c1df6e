// The three event sounds of a part that keeps them itself rather than in a click action: a file
// (its number then 0) or a channel number, else the pointer manager's default for the event.
#pragma once

#include <cstdint>
#include <string>

#include "gui/click_action.h"

namespace bw {

struct PartSounds {
  // Texts may be null; a given file makes its sound number 0.
  void Set(const char* clickFile, const char* enterFile, const char* leaveFile, int32_t click,
           int32_t enter, int32_t leave) {
    Keep(&clickSoundFile, &clickSound, clickFile, click);
    Keep(&enterSoundFile, &enterSound, enterFile, enter);
    Keep(&leaveSoundFile, &leaveSound, leaveFile, leave);
  }
  void PlayClick(PointerManager* owner) const {
    PlayPartSound(owner, clickSoundFile, clickSound, kDefaultClickSound);
  }
  void PlayEnter(PointerManager* owner) const {
    PlayPartSound(owner, enterSoundFile, enterSound, kDefaultEnterSound);
  }
  void PlayLeave(PointerManager* owner) const {
    PlayPartSound(owner, leaveSoundFile, leaveSound, kDefaultLeaveSound);
  }

  std::string clickSoundFile;
  std::string enterSoundFile;
  std::string leaveSoundFile;
  int32_t clickSound = kNoSound;
  int32_t enterSound = kNoSound;
  int32_t leaveSound = kNoSound;

 private:
  static void Keep(std::string* file, int32_t* number, const char* given, int32_t value) {
    *file = given ? given : "";
    *number = file->empty() ? value : 0;
  }
};

}  // namespace bw
