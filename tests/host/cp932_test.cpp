#include "host/cp932.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>

namespace bw::host {
namespace {

// Every code and every code point is compared with glibc, so the shared codes (NEC and IBM
// extensions) and the one-way mappings (U+00A5 to 0x5C) are covered by the two sweeps.
std::string Bytes(uint32_t code) {
  return code < 0x100 ? std::string(1, static_cast<char>(code))
                      : std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

// glibc's answer for one input, through a fresh conversion state; nullopt when it refuses.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  std::optional<std::string> operator()(const std::string& in) {
    char out[32];
    char* ip = const_cast<char*>(in.data());
    char* op = out;
    size_t il = in.size(), ol = sizeof(out);
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0) return std::nullopt;
    return std::string(out, static_cast<size_t>(op - out));
  }

 private:
  iconv_t cd_;
};

// UTF-8 of one code point, by glibc.
std::string Utf8(uint32_t u) {
  static Iconv toUtf8("UTF-8", "UTF-32LE");
  return toUtf8(std::string(reinterpret_cast<const char*>(&u), 4)).value_or("");
}

testing::AssertionResult AgreesWithGlibc(const Cp932Conversion& got,
                                         const std::optional<std::string>& want) {
  if (got.ok != want.has_value()) {
    return testing::AssertionFailure() << (got.ok ? "accepted" : "refused");
  }
  if (want && got.text != *want) {
    return testing::AssertionFailure() << "gave " << testing::PrintToString(got.text) << ", glibc "
                                       << testing::PrintToString(*want);
  }
  return testing::AssertionSuccess();
}

TEST(Cp932, DecodesEveryCodeAndEncodesEveryCodePointAsGlibcDoes) {
  Iconv glibc("UTF-8", "CP932");
  ASSERT_TRUE(glibc.ok());
  for (uint32_t code = 0; code < 0x10000; code = code == 0xFF ? 0x8000 : code + 1) {
    ASSERT_TRUE(AgreesWithGlibc(Cp932ToUtf8(Bytes(code)), glibc(Bytes(code))))
        << std::hex << "code 0x" << code;
  }

  Iconv encoder("CP932", "UTF-8");
  ASSERT_TRUE(encoder.ok());
  for (uint32_t u = 0; u < 0x110000; u = u < 0x10000 ? u + 1 : u + 0x3F) {
    if (u >= 0xD800 && u < 0xE000) continue;
    // glibc swallows the tag characters; they have no CP932 form, so the codec refuses them.
    bool tag = u >= 0xE0000 && u <= 0xE007F;
    ASSERT_TRUE(AgreesWithGlibc(Utf8ToCp932(Utf8(u)), tag ? std::nullopt : encoder(Utf8(u))))
        << std::hex << "U+" << u;
  }
  EXPECT_FALSE(Utf8ToCp932(Utf8(0xE0041)).ok);
}

// Either way, strictly (refused at the failure's offset, keeping what came before) or leniently
// (each bad piece replaced: by U+FFFD in UTF-8, by '?' in CP932).
TEST(Cp932, BadTextIsRefusedOrReplacedPerPiece) {
  const std::string fffd = "\xEF\xBF\xBD";
  struct Case {
    bool fromCp932;
    std::string in;
    size_t offset;
    std::string lenient;
  };
  const Case cases[] = {
      {true, "ab\x81", 2, "ab" + fffd},           // lead byte at the end, not over-read
      {true, "a\x81<b>", 1, "a" + fffd + "<b>"},  // an ASCII byte after a broken lead survives
      {true, "\x85\x90z", 0, fffd + "z"},         // unassigned code, high trail taken with it
      {true, "\x95\x5C\x81\x7F", 2, "\xE8\xA1\xA8" + fffd + "\x7F"},  // 0x7F is no trail
      {false, "a\xC0\x80", 1, "a??"},                                 // overlong NUL: two bad bytes
      {false, "\xED\xA0\x80", 0, "???"},                              // surrogate
      {false, "\xF4\x90\x80\x80", 0, "????"},                         // beyond U+10FFFF
      {false, "x\xE3\x81", 1, "x?"},          // truncated at the end: one piece
      {false, "\x80\xBF", 0, "??"},           // stray continuation bytes
      {false, "\xF0\x9F\x98\x80!", 0, "?!"},  // well formed, no CP932 form
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.in));
    const Cp932Conversion strict = c.fromCp932 ? Cp932ToUtf8(c.in) : Utf8ToCp932(c.in);
    EXPECT_FALSE(strict.ok);
    EXPECT_EQ(strict.errorOffset, c.offset);
    const std::string replaced = c.fromCp932 ? fffd : "?";
    EXPECT_EQ(strict.text, c.lenient.substr(0, c.lenient.find(replaced)))
        << "what came before the failure";
    EXPECT_EQ(c.fromCp932 ? Cp932ToUtf8Lenient(c.in) : Utf8ToCp932Lenient(c.in), c.lenient);
  }
  EXPECT_EQ(Cp932ToUtf8Lenient(std::string("a\0b", 3)), std::string("a\0b", 3));
  // Typed text drops what has no form, whole.
  EXPECT_EQ(Utf8ToCp932Lenient("a\xF0\x9F\x98\x80\xE3\x81\x82", Unmappable::kDrop), "a\x82\xA0");
}

}  // namespace
}  // namespace bw::host
