// Temporary: stands in for the CP932 codec until it lands, then goes away.
#pragma once

#include <string>
#include <string_view>

namespace bw::host {

std::string Cp932ToUtf8Lenient(std::string_view cp932);

}  // namespace bw::host
