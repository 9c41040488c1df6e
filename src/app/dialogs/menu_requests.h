// What the game application's menu commands work with: its modal states, and the records that
// other threads hand to the window thread with WM_COMMAND 40026 to 40030.
#pragma once

#include <cstdint>

#include "app/dialogs/data_input_dialog.h"

namespace bw {

// Modal states: which dialog of the application runs.
constexpr uint8_t kModalNone = 0;
constexpr uint8_t kModalSettings = 1;
constexpr uint8_t kModalSave = 2;
constexpr uint8_t kModalLoad = 3;
constexpr uint8_t kModalCloseQuestion = 4;
constexpr uint8_t kModalVersion = 6;
constexpr uint8_t kModalReturnQuestion = 7;
constexpr uint8_t kModalMessageDialog = 8;

// The save/load dialog's direction.
constexpr uint8_t kDirectionLoad = 0;
constexpr uint8_t kDirectionSave = 1;

// The settings sheet and the save and load dialogs belong to the save-data services, which this
// build does not carry: they answer this and the player is told.
constexpr int kDialogNotAvailable = -1;

// Answers of the request records (besides a dialog's own).
constexpr int32_t kRequestNotServed = 0;  // no main window to serve it
constexpr int32_t kSoundFormatNoDevice = -3;

// The records other threads hand to the window thread with WM_COMMAND 40026 to 40030 (lParam
// points to one); each field stands for one word of the engine's record. Texts are CP932 and
// paths engine paths.
struct DataInputRequest {
  DataInputDialog* dialog = nullptr;   // null: the application's own record
  int32_t answer = kRequestNotServed;  // 1 when OK ended the dialog
};

struct FileDialogRequest {
  const char* title = nullptr;
  char* path = nullptr;       // kDialogPathSize bytes: the name proposed, then the one chosen
  char* fileTitle = nullptr;  // kDialogFileTitleSize bytes, or null
  const char* initialFolder = nullptr;     // null: the application folder
  const char* filter = nullptr;            // description, tab, pattern, tab, ...
  const char* defaultExtension = nullptr;  // saving only
  // Opening: 1 when a file was chosen. Saving: 1 + the filter index chosen. 0 when cancelled.
  int32_t answer = kRequestNotServed;
};

struct FolderDialogRequest {
  const char* title = nullptr;
  const char* initialFolder = nullptr;  // null: the application folder
  char* path = nullptr;  // kDialogPathSize bytes: the folder chosen with its '\', or empty
  int32_t answer = kRequestNotServed;  // 1 when a folder was chosen
};

struct SoundFormatRequest {
  bool useGiven = false;  // false: 2 channels, 44,100 Hz, 16 bits
  uint8_t channels = 2;
  uint32_t rateCode = 44;  // 8, 11, 22, 44 or hertz
  uint16_t bitsPerSample = 16;
  int32_t answer = kRequestNotServed;  // the sound device's result
};

}  // namespace bw
