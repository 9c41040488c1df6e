#include "app/config/config_block.h"

#include <algorithm>
#include <optional>

#include "common/sjis.h"
#include "host/cp932.h"
#include "platform/app_paths.h"

namespace bw {

bool ReadConfigRecord(ByteReader& in, int lengthBytes, std::span<const uint8_t>& body,
                      ConfigVerdict& verdict, std::string_view what) {
  uint32_t length = 0;
  bool haveLength = false;
  switch (lengthBytes) {
    case 1: {
      uint8_t v = 0;
      haveLength = in.u8(v);
      length = v;
      break;
    }
    case 2: {
      uint16_t v = 0;
      haveLength = in.u16le(v);
      length = v;
      break;
    }
    default:
      haveLength = in.u32le(length);
      break;
  }
  std::optional<std::span<const uint8_t>> bytes;
  if (haveLength) bytes = in.bytes(length);
  if (!bytes) {
    verdict.Refuse(kConfigTruncated, "the file ends inside " + std::string(what));
    body = {};
    return false;
  }
  body = *bytes;
  return true;
}

std::string ConfigRecordText(std::span<const uint8_t> body, ConfigVerdict& verdict,
                             std::string_view what, size_t maxBytes) {
  const void* nul = body.empty() ? nullptr : std::memchr(body.data(), 0, body.size());
  const size_t length =
      nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - body.data()) : body.size();
  std::string_view text(reinterpret_cast<const char*>(body.data()), length);
  if (nul && std::any_of(body.begin() + static_cast<std::ptrdiff_t>(length), body.end(),
                         [](uint8_t b) { return b != 0; })) {
    verdict.Refuse(kConfigBadText, std::string(what) + " has bytes after its end");
    return {};
  }
  if (!nul && !body.empty()) verdict.Mend();
  if (text.size() > maxBytes) {
    text = sjis::Truncate(text, maxBytes);
    verdict.Mend();
  }
  if (!CheckConfigText(text, verdict, what)) return {};
  return std::string(text);
}

bool CheckConfigText(std::string_view text, ConfigVerdict& verdict, std::string_view what) {
  const bool control = std::any_of(text.begin(), text.end(), [](char c) {
    auto b = static_cast<uint8_t>(c);
    return (b < 0x20 && c != '\t' && c != '\r' && c != '\n') || b == 0x7F;
  });
  if (control || !host::Cp932ToUtf8(text).ok) {
    verdict.Refuse(kConfigBadText, std::string(what) + " is not CP932 text");
    return false;
  }
  return true;
}

std::string ConfigFailureText(std::string_view message, std::string_view file,
                              std::string_view why) {
  std::string text = std::string(message) + "\n" + std::string(file);
  if (!why.empty()) text += ": " + std::string(why);
  return text;
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
