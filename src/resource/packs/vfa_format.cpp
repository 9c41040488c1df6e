#include "resource/packs/vfa_format.h"

#include <bit>
#include <cstring>

namespace bw {
namespace {

bool IsSjisLead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

uint32_t LoadWord(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
void StoreWord(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

void FoldVfaNameCase(std::string& name, bool upper) {
  for (size_t i = 0; i < name.size(); ++i) {
    auto c = static_cast<uint8_t>(name[i]);
    if (IsSjisLead(c)) {
      ++i;  // the trail byte may look like a letter
      continue;
    }
    if (upper && c >= 'a' && c <= 'z') name[i] = static_cast<char>(c - 'a' + 'A');
    if (!upper && c >= 'A' && c <= 'Z') name[i] = static_cast<char>(c - 'A' + 'a');
  }
}

std::string VfaNameKey(const char* path) {
  if (!path) return {};
  size_t leaf = 0;
  size_t length = std::strlen(path);
  for (size_t i = 0; i < length; ++i) {
    auto c = static_cast<uint8_t>(path[i]);
    if (IsSjisLead(c)) {
      ++i;
    } else if (c == '\\' || c == '/') {
      leaf = i + 1;
    }
  }
  std::string name(path + leaf, length - leaf);
  size_t dot = std::string::npos;
  for (size_t i = 0; i < name.size(); ++i) {
    auto c = static_cast<uint8_t>(name[i]);
    if (IsSjisLead(c)) {
      ++i;
    } else if (c == '.') {
      dot = i;
    }
  }
  if (dot != std::string::npos) name.resize(dot);
  FoldVfaNameCase(name, true);
  return name;
}

VfaKeys MakeVfaKeys(const std::string& nameKey, uint32_t keyWord1, uint32_t keyWord2) {
  uint32_t first = kVfaFirstSeed;
  uint32_t second = kVfaSecondSeed;
  size_t length = nameKey.size();
  for (size_t i = 0; i < length; ++i) {
    first = std::rotr(first ^ static_cast<uint8_t>(nameKey[length - 1 - i]), 7);
    second = std::rotl(second ^ static_cast<uint8_t>(nameKey[i]), 7);
  }
  return {first ^ keyWord1, second ^ keyWord2};
}

void ScrambleVfaIndex(uint8_t* data, size_t words, uint32_t indexKey) {
  uint32_t key = indexKey;
  uint32_t step = kVfaKeyConstant;
  for (size_t i = 0; i < words; ++i) {
    step = std::rotl(step, 4);
    StoreWord(data + 4 * i, LoadWord(data + 4 * i) ^ key);
    key = std::rotr(key, static_cast<int>(step % 32));
  }
}

void ScrambleVfaMemberHead(uint8_t* data, size_t words, uint32_t memberKey) {
  uint32_t key = memberKey;
  uint32_t step = kVfaKeyConstant;
  for (size_t i = 0; i < words; ++i) {
    step = std::rotr(step, 4);
    StoreWord(data + 4 * i, LoadWord(data + 4 * i) ^ key);
    key = std::rotl(key, static_cast<int>(step % 32));
  }
}

void UnscrambleVfaNibbles(uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) data[i] = UnscrambleVfaNibbles(data[i]);
}

}  // namespace bw
