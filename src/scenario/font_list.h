// The installed fonts as the game application lists them for the scripts and the scenario
// player: the system's font families, filtered, in the order the system reports them, one
// entry per face and character set.
#pragma once

#include <cstdint>
#include <vector>

#include "host/font/font_enum.h"

namespace bw {

class FontList {
 public:
  // Filter bits.
  static constexpr uint8_t kTrueTypeOnly = 0x01;
  static constexpr uint8_t kFixedPitchOnly = 0x02;
  static constexpr uint8_t kNoVerticalFaces = 0x04;  // faces named "@..."
  static constexpr uint8_t kCharSetOnly = 0x08;
  // What start-up and the scenario player ask for: horizontal Japanese outline faces.
  static constexpr uint8_t kJapaneseFilter = kTrueTypeOnly | kNoVerticalFaces | kCharSetOnly;

  using Enumerator = int (*)(const host::LOGFONTA& filter, host::FONTENUMPROCA proc,
                             host::LPARAM param, uint32_t flags);

  explicit FontList(Enumerator enumerate = host::EnumFontFamiliesExA) : enumerate_(enumerate) {}

  // Refills the list with every face in every character set that passes filter (charSet
  // serves kCharSetOnly); faces named "$..." never do. Answers the new count.
  int Enumerate(uint8_t filter, uint8_t charSet);

  int Count() const { return static_cast<int>(fonts_.size()); }
  // Null for an index out of range.
  const host::LOGFONTA* Get(int index) const;
  uint8_t Filter() const { return filter_; }
  uint8_t CharSet() const { return charSet_; }

 private:
  static int Accept(const host::ENUMLOGFONTEXA* font, uint32_t fontType, host::LPARAM param);

  Enumerator enumerate_;
  std::vector<host::LOGFONTA> fonts_;
  uint8_t filter_ = 0;
  uint8_t charSet_ = 0;
};

}  // namespace bw
