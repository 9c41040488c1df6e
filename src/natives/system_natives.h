// State the system and utility natives keep with the script host.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "platform/stopwatch.h"
#include "script/script_host.h"

namespace bw {

class SystemNativeState : public ScriptHostExtension {
 public:
  explicit SystemNativeState(ScriptHost& host) : host_(host) {}
  ~SystemNativeState() override;

  // Blocks handed to the script (75, 76); only these may be freed by it (77).
  uint32_t AllocateBlock(int32_t size);
  void FreeBlock(uint32_t address);
  bool IsBlock(uint32_t address) const { return blocks_.count(address) != 0; }
  // The script's text buffer (95), made on first use; 0 when the arena is full.
  uint32_t TextBuffer();
  static constexpr uint32_t kTextBufferBytes = 1024;
  // The twister, seeded from the clock on first use.
  std::mt19937& Twister();
  void SeedTwister(uint32_t seed);
  // The stopwatch bank (543-550).
  TimerBank& Stopwatches() { return stopwatches_; }
  // A guest copy of text kept under key: the same copy while the text stays, a new one (the old
  // freed) when it changed. 0 when the arena is full.
  uint32_t KeptText(uint64_t key, const std::string& text);

 private:
  ScriptHost& host_;
  std::set<uint32_t> blocks_;
  std::unique_ptr<std::mt19937> twister_;
  uint32_t textBuffer_ = 0;
  TimerBank stopwatches_;
  std::map<uint64_t, std::pair<uint32_t, std::string>> keptTexts_;
};

// A decimal text as the C locale reads it (leading blanks, a sign, digits, a fraction and an
// exponent); false for no number or a value that is not finite.
[[nodiscard]] bool ParseDecimal(const std::string& text, double& value);

// Writes text and its terminator at dest; a range outside the arena faults.
[[nodiscard]] bool PutGuestText(GuestMemory& memory, uint32_t dest, std::string_view text);

}  // namespace bw
