// The script's printf: %d %i %u %x %X %c %s with l and h, the flags '-', '0' and '#', width,
// precision and %%. Values are 32-bit argument words in guest memory; a %s word is a guest text
// address (0 prints "(null)"). No floats and no '*': an unknown conversion prints its letter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "script/guest_memory.h"

namespace bw {

constexpr size_t kGuestFormatCapacity = 1024;  // bytes with the terminator

// Formats into out, at most capacity - 1 bytes, cut on a character boundary. The value words
// start at values. False when a word or a %s text lies outside the arena (memory faults).
bool FormatGuestText(GuestMemory& memory, std::string_view format, uint32_t values, size_t capacity,
                     std::string& out);

}  // namespace bw
