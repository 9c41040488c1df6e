#include "resource/packs/vfa_format.h"

#include <bit>
#include <cstring>

#include "common/sjis.h"

namespace bw {
namespace {

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

std::string VfaNameKey(const char* path) {
  if (!path) return {};
  std::string_view whole(path);
  size_t separator = sjis::FindLastSeparator(whole);
  std::string_view leaf = separator == std::string_view::npos ? whole : whole.substr(separator + 1);
  size_t dot = sjis::FindLast(leaf, '.');
  if (dot != std::string_view::npos) leaf = leaf.substr(0, dot);
  return sjis::ToUpper(leaf);
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
