// One save slot's file: a fixed header the dialogs read without unpacking anything (thumbnail,
// title, comment, protect flag), then the game state, LZSS-packed when packing pays. The helpers
// here hold the layout and the text rules; they touch no game state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_reader.h"

namespace bw {

constexpr uint32_t kSaveMagic = 0x324E4A44;  // "DJN2"
constexpr int32_t kThumbnailWidth = 120;
constexpr int32_t kThumbnailHeight = 90;
constexpr size_t kThumbnailRowBytes = 360;
constexpr size_t kThumbnailBytes = kThumbnailRowBytes * kThumbnailHeight;
constexpr size_t kTitleFieldBytes = 44;
constexpr size_t kCommentFieldBytes = 253;
constexpr size_t kTitleTextMax = 40;
constexpr size_t kCommentBudget = 249;  // so at most 248 bytes of text
constexpr size_t kTitleOffset = 8 + kThumbnailBytes;
constexpr size_t kCommentOffset = kTitleOffset + kTitleFieldBytes;
constexpr size_t kProtectOffset = kCommentOffset + kCommentFieldBytes;
constexpr size_t kStoredSizeOffset = kProtectOffset + 1;  // the fixed part the dialogs read
constexpr size_t kSaveHeaderBytes = kStoredSizeOffset + 9;
// One flag bit and two bytes give at most 18 bytes: a claim past nine times the stored size
// cannot be real.
constexpr uint64_t kMaxUnpackFactor = 9;

// Reader results (the loader's codes).
constexpr int kSaveFileOk = 0;
constexpr int kSaveFileNoMemory = 2;
constexpr int kSaveFileBad = 3;  // magic, check byte, sizes, or a state that does not unpack
constexpr int kSaveFileReserved = 5;

// The fixed part: fields as stored.
struct SaveHeader {
  std::vector<uint8_t> thumbnail = std::vector<uint8_t>(kThumbnailBytes);  // rows of B, G, R
  uint8_t title[kTitleFieldBytes] = {};
  uint8_t comment[kCommentFieldBytes] = {};
  uint8_t protect = 0;
};

struct SaveFileContents {
  SaveHeader header;
  uint32_t storedSize = 0;
  uint32_t unpackedSize = 0;
  uint8_t check = 0;
  std::span<const uint8_t> stored;  // inside the bytes read
};

// The header up to the stored size (whatever follows is not read): 0, kSaveFileBad for a wrong
// magic or too few bytes, kSaveFileReserved.
[[nodiscard]] int ReadSaveHeader(ByteReader& in, SaveHeader& header);
// The whole file: the header, then sizes and the check byte checked before anything is
// allocated.
[[nodiscard]] int ReadSaveFile(std::span<const uint8_t> file, SaveFileContents& out);
// The state blob of a file read: stored as it is, or unpacked.
[[nodiscard]] int UnpackSaveState(const SaveFileContents& file, std::vector<uint8_t>& blob);

// The file bytes for a header and a state, packed when packing pays (or as it is when pack is
// false). The check byte is the sum of the stored bytes.
std::vector<uint8_t> EncodeSaveFile(const SaveHeader& header, std::span<const uint8_t> state,
                                    bool pack = true);
// The same with the stored bytes and unpacked size given as they are.
std::vector<uint8_t> EncodeSaveFileStored(const SaveHeader& header, std::span<const uint8_t> stored,
                                          uint32_t unpackedSize);
uint8_t CheckByte(std::span<const uint8_t> bytes);

// The title field: at most 40 bytes, cut before a character that would not fit.
void PutTitle(uint8_t (&field)[kTitleFieldBytes], std::string_view text);
// The comment copy: a budget of 249, each character costing its bytes, stops before the one that
// would bring it to 0; a NUL ends it, and so does a lead byte without its trail. Writes the text
// and its NUL at field (at most 249 bytes); answers the bytes of text.
size_t PutComment(uint8_t* field, std::string_view text);
// A field's text up to its NUL; without one, up to the last whole character in the field.
std::string FieldText(std::span<const uint8_t> field);
// The comment laid out for display: a '\n' ends a line, a line holds at most 82 bytes (a
// double-byte character moves to the next line whole), at most four lines joined by '\n'.
std::string FoldComment(std::string_view text);
// text cut at a character boundary to fit limit bytes with its NUL.
std::string FitField(std::string_view text, size_t limit);

// "DATA%02d%02d.SAV" (a negative slot printed as it is).
std::string SaveFileName(int32_t page, int32_t slot);

// A local time as the dates show it.
struct SaveDate {
  int year = 0, month = 0, day = 0, weekday = 0, hour = 0, minute = 0;
};
// "%04d/%02d/%02d(<weekday>) %02d:%02d" in CP932.
std::string FormatSaveDate(const SaveDate& date);
// "『title』" + separator (style 0 " ", 1 "\n", else "\r\n") + "【記録日時 date】", CP932.
std::string FormatSaveCaption(std::string_view title, std::string_view date, uint8_t style);

}  // namespace bw
