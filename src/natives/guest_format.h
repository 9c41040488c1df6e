// The script's printf: %d %i %u %x %X %c %s with l and h, the flags '-', '0' and '#', width,
// precision and %%. Values are 32-bit argument words in guest memory; a %s word is a guest text
// address (0 prints "(null)"). No floats and no '*': an unknown conversion prints its letter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "script/guest_memory.h"

namespace bw {

constexpr size_t kGuestFormatCapacity = 1024;  // bytes with the terminator

// Formats into buffer, whose size is the capacity with the terminator: at most size - 1 bytes,
// cut on a character boundary, then a zero (an empty buffer takes neither). The value words
// start at values. Answers the text in buffer; nothing when a word or a %s text lies outside the
// arena (memory faults).
std::optional<std::string_view> FormatGuestText(GuestMemory& memory, std::string_view format,
                                                uint32_t values, std::span<char> buffer);

}  // namespace bw
