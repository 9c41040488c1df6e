// The readable model name of an identified processor: a vendor prefix and a name chosen by
// family, model and further tests.
#pragma once

#include <string>

#include "platform/cpu_info.h"

namespace bw {

std::string NameCpuModel(const CpuRecord& record, CpuProbe& probe);

}  // namespace bw
