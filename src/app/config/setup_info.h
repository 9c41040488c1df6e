// "SET_UP.IFG" in the application folder: names the installer's uninstall key, from which the
// install values are read. The magic "IFG1", a u8 length and the key name with its NUL (length 0:
// no key, and nothing more is read), then a u8 per-user flag.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace bw {

struct SetupInfo {
  std::optional<std::string> uninstallKey;  // CP932; unset: no key, so no install values
  uint8_t perUser = 0;                      // the key lives under the current user

  bool operator==(const SetupInfo&) const = default;
};

// All or nothing: info is replaced only when the whole file reads (answer kConfigOk or, for a
// key without its NUL, kConfigMended); otherwise it is left as it was, why says where the file
// broke, and the caller skips the file, as start-up does with any failure here.
[[nodiscard]] int ReadSetupInfo(std::span<const uint8_t> file, SetupInfo& info,
                                std::string* why = nullptr);

}  // namespace bw
