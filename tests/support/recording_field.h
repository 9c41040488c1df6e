// A text field that keeps what the input part hands it: the keys one by one, each run of text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "input/text_input_target.h"

namespace bw::test {

class RecordingField : public TextInputTarget {
 public:
  static constexpr uint8_t kKeyTaken = 1;
  static constexpr uint8_t kTextTaken = 2;

  uint8_t OnTextKey(uint32_t virtualKey) override {
    keys.push_back(virtualKey);
    return kKeyTaken;
  }
  uint8_t OnTextInput(const char* text, int32_t length) override {
    texts.emplace_back(text, static_cast<size_t>(length));
    return kTextTaken;
  }
  std::vector<uint32_t> keys;
  std::vector<std::string> texts;
};

}  // namespace bw::test
