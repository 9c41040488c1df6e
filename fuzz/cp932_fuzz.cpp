// The CP932 codec on arbitrary bytes, taken both as CP932 and as UTF-8. Nothing may crash, the
// strict and lenient forms agree, and what converts strictly converts back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/cp932.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace bw::host;
  std::string_view in(reinterpret_cast<const char*>(data), size);

  // As CP932: re-encoding the lenient text never grows it; strictly valid input survives a
  // round trip up to the choice among codes that share a code point.
  std::string lenient = Cp932ToUtf8Lenient(in);
  Check(Utf8ToCp932Lenient(lenient, Unmappable::kDrop).size() <= size);
  Cp932Conversion decoded = Cp932ToUtf8(in);
  if (decoded.ok) {
    Check(decoded.text == lenient);
    Cp932Conversion encoded = Utf8ToCp932(decoded.text);
    Check(encoded.ok);
    Check(Cp932ToUtf8(encoded.text).text == decoded.text);
  } else {
    Check(decoded.errorOffset < size);
    Check(Cp932ToUtf8(in.substr(0, decoded.errorOffset)).text == decoded.text);
  }

  // As UTF-8: what encodes strictly encodes again to the same bytes after a trip through CP932.
  Cp932Conversion encoded = Utf8ToCp932(in);
  std::string replaced = Utf8ToCp932Lenient(in);
  if (encoded.ok) {
    Check(encoded.text == replaced);
    Cp932Conversion back = Cp932ToUtf8(encoded.text);
    Check(back.ok);
    Check(Utf8ToCp932(back.text).text == encoded.text);
  } else {
    Check(encoded.errorOffset < size);
    Check(Utf8ToCp932Lenient(in, Unmappable::kDrop).size() <= replaced.size());
  }
  return 0;
}
