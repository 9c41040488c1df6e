// "SCRIPT\QZ_APP.INF": the game's version and identity texts. Three version bytes, then five
// texts, each a u8 length and that many bytes (the text with its NUL).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace bw {

struct AppInfo {
  uint8_t majorVersion = 0;
  uint8_t minorVersion = 0;
  uint8_t revision = 0;
  // CP932 texts. The application name is the window class and title, the mutex name, the
  // message-box title and the default save-folder name.
  std::string appName = "KVR DX Application";
  std::string productTitle = "Brimwold DX";
  std::string notice;
  std::string webAddress = "http://";
  std::optional<std::string> saveFolderName;  // unset: the application name + " SaveData"

  bool operator==(const AppInfo&) const = default;
};

// Replaces info with the file's version and texts: a text of length 0 is empty (the fifth is
// unset). Answers a kConfig* code; a refused file leaves info as it was, and why says where it
// broke.
[[nodiscard]] int ReadAppInfo(std::span<const uint8_t> file, AppInfo& info,
                              std::string* why = nullptr);

}  // namespace bw
