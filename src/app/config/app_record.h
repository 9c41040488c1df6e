// "SCRIPT\QZ_APP.SYS": the application record that comes with the game (canvas size, window
// styles, resources, screen modes and the save-folder mode). The file is a u16 length and that
// many bytes, copied over the record from its first field on.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace bw {

// Resource ids the record's ids are replaced by once read: the engine has one icon, one menu
// and one accelerator table of its own.
constexpr uint16_t kAppIconId = 103;
constexpr uint16_t kAppMenuId = 101;
constexpr uint16_t kAppAcceleratorsId = 102;
// The window style every game gets, whatever its record says.
constexpr uint32_t kAppWindowStyle = 0xCB0000;

// Default screen modes.
constexpr uint8_t kScreenWindowOnly = 0;
constexpr uint8_t kScreenFullOnly = 1;
constexpr uint8_t kScreenBoth = 2;  // and above

struct AppRecord {
  static constexpr size_t kSize = 23;

  uint16_t canvasWidth = 640;  // the game's logical screen
  uint16_t canvasHeight = 480;
  uint32_t windowStyle = 0xCA0000;
  uint32_t windowExStyle = 0;
  uint16_t iconId = 0;
  uint16_t menuId = 0;          // 0 = no menu
  uint16_t acceleratorsId = 0;  // 0 = none
  uint8_t singleInstance = 1;
  uint8_t defaultScreenMode = kScreenBoth;
  uint8_t allowCdRom = 0;
  uint8_t saveFolderMode = 1;
  uint8_t menuWindowKind = 1;  // 1: the full-screen menu window has a frame and caption

  template <class Self, class V>
  static constexpr void Fields(Self& s, V& v) {
    v(s.canvasWidth), v(s.canvasHeight), v(s.windowStyle), v(s.windowExStyle), v(s.iconId),
        v(s.menuId), v(s.acceleratorsId), v(s.singleInstance), v(s.defaultScreenMode),
        v(s.allowCdRom), v(s.saveFolderMode), v(s.menuWindowKind);
  }

  bool operator==(const AppRecord&) const = default;
};

// Copies the file over record and then puts in the engine's own style and resource ids.
// Answers a kConfig* code; a refused file leaves the record as it was, and why says where it
// broke.
[[nodiscard]] int ReadAppRecord(std::span<const uint8_t> file, AppRecord& record,
                                std::string* why = nullptr);

}  // namespace bw
