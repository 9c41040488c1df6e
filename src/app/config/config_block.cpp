#include "app/config/config_block.h"

#include "common/sjis.h"
#include "platform/app_paths.h"

namespace bw {

bool ReadConfigRecord(ByteReader& in, int lengthBytes, std::span<const uint8_t>& body,
                      int& status) {
  uint32_t length = 0;
  bool haveLength = false;
  switch (lengthBytes) {
    case 1: {
      uint8_t v;
      haveLength = in.u8(v);
      length = v;
      break;
    }
    case 2: {
      uint16_t v;
      haveLength = in.u16le(v);
      length = v;
      break;
    }
    default:
      haveLength = in.u32le(length);
      break;
  }
  if (!haveLength) {
    status = std::max(status, kConfigTruncated);
    body = {};
    return false;
  }
  if (!in.has(length)) status = std::max(status, kConfigTruncated);
  body = *in.bytes(std::min<uint64_t>(length, in.remaining()));
  return true;
}

std::string ConfigRecordText(std::span<const uint8_t> body, int& status, size_t maxBytes) {
  const void* nul = body.empty() ? nullptr : std::memchr(body.data(), 0, body.size());
  std::string_view text(
      reinterpret_cast<const char*>(body.data()),
      nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - body.data()) : body.size());
  if (!nul && !body.empty()) status = std::max(status, kConfigMended);
  if (text.size() > maxBytes) {
    text = sjis::Truncate(text, maxBytes);
    status = std::max(status, kConfigMended);
  }
  return std::string(text);
}

bool TerminateTextField(std::span<uint8_t> field) {
  if (field.empty() || std::memchr(field.data(), 0, field.size())) return false;
  std::string_view text(reinterpret_cast<const char*>(field.data()), field.size());
  size_t keep = sjis::FitLength(text, field.size() - 1);
  std::fill(field.begin() + static_cast<std::ptrdiff_t>(keep), field.end(), uint8_t{0});
  return true;
}

void AppendPathSeparator(std::string& path) {
  if (!EndsWithSeparator(path)) path += '\\';
}

}  // namespace bw
