// Temporary: ASCII passes, every other byte becomes '?', until the CP932 codec replaces this.
#include "host/cp932_stand_in.h"

namespace bw::host {

std::string Cp932ToUtf8Lenient(std::string_view cp932) {
  std::string out(cp932);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) >= 0x80) c = '?';
  }
  return out;
}

}  // namespace bw::host
