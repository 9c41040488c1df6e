// Save slot files as text and back: a dump names every field (the title and comment also as
// UTF-8, the thumbnail with a digest, the state unpacked, in hex), and make writes the file a
// description gives, with faults switched on for the readers' tests.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "savedata/save_file.h"

namespace bw::sav {

// The state blob given in parts (variables, history flag, history, kept snapshot, frame state)
// or whole.
struct StateParts {
  std::vector<uint8_t> variables;
  uint8_t historyFlag = 0;
  std::vector<uint8_t> history;
  std::vector<uint8_t> snapshot;
  std::optional<std::vector<uint8_t>> frame;
};
std::vector<uint8_t> JoinState(const StateParts& parts);

struct SaveDescription {
  SaveHeader header;
  bool packed = true;  // pack when packing pays
  std::vector<uint8_t> state;
};

struct Faults {
  bool magic = false;             // a wrong magic
  bool reservedWord = false;      // a reserved word other than 0
  bool checkByte = false;         // a check byte off by one
  bool storedPastEnd = false;     // the stored size claims more than the file holds
  bool unpackedTooLarge = false;  // the unpacked size past nine times the stored size
  bool shortLzss = false;         // packed data cut short of its unpacked size (check byte kept)
  bool fieldsWithoutNul = false;  // title and comment fields filled to their ends
  size_t truncateTo = 0;          // the file cut to this many bytes (0: whole)
};
// The blob faults act on parts.
struct StateFaults {
  bool snapshotPastBlob = false;  // the snapshot's length word claims more than the blob holds
  bool noFramePart = false;       // the frame's state left out
};
std::vector<uint8_t> JoinState(const StateParts& parts, const StateFaults& faults);

std::vector<uint8_t> MakeSaveFile(const SaveDescription& description, const Faults& faults = {});

// The text of a file; false with error when the file is not a readable save.
bool DumpSaveFile(std::span<const uint8_t> file, std::string& text, std::string& error);
// Reads a dump (or a description written by hand: "title" and "comment" lines, and the state in
// parts) back; a text line and its -bytes line must agree. The state faults act on a state given
// in parts.
[[nodiscard]] bool ParseSaveText(const std::string& text, SaveDescription& out, std::string& error,
                                 const StateFaults& faults = {});

uint64_t Digest(std::span<const uint8_t> bytes);

}  // namespace bw::sav
