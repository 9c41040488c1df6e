// savfile dump FILE: every field of a save slot file (title and comment as UTF-8, the thumbnail
//   with its digest, sizes, the check byte, the state unpacked, in hex).
// savfile make TEXT OUT [--fault NAME]...: writes the file a dump (or a description) gives.
//   Faults: magic, reserved, check, stored-past-end, unpacked-too-large, short-lzss,
//   no-nul, snapshot-past-blob, no-frame, truncate=N.
// savfile seeds DIR: writes the seed corpus of the save file fuzz target.
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/atomic_file.h"
#include "lib/file_bytes.h"
#include "lib/sav/sav_text.h"
#include "lib/tool_args.h"
#include "lib/tool_exit.h"

namespace {

using namespace bw;
using bw::tools::kExitFailed;
using bw::tools::kExitOk;
using bw::tools::kExitUsage;

constexpr bw::tools::ToolUsage kUsage = {
    "savfile: shows a save slot file as text, or writes one from such text.",
    "usage: savfile dump FILE\n"
    "       savfile make TEXT OUT [--fault NAME]...   NAME: magic reserved check\n"
    "           stored-past-end unpacked-too-large short-lzss no-nul snapshot-past-blob\n"
    "           no-frame truncate=N\n"
    "       savfile seeds DIR\n"};

int Wrong(std::string_view what) {
  return bw::tools::UsageError("savfile", kUsage, what);
}

bool SetFault(std::string_view name, sav::Faults& f, sav::StateFaults& s) {
  if (name == "magic") return f.magic = true;
  if (name == "reserved") return f.reservedWord = true;
  if (name == "check") return f.checkByte = true;
  if (name == "stored-past-end") return f.storedPastEnd = true;
  if (name == "unpacked-too-large") return f.unpackedTooLarge = true;
  if (name == "short-lzss") return f.shortLzss = true;
  if (name == "no-nul") return f.fieldsWithoutNul = true;
  if (name == "snapshot-past-blob") return s.snapshotPastBlob = true;
  if (name == "no-frame") return s.noFramePart = true;
  if (name.starts_with("truncate=")) {
    return tools::ParseNumber(name.substr(9), &f.truncateTo) && f.truncateTo > 0;
  }
  return false;
}

int Dump(const char* path) {
  std::vector<uint8_t> file;
  if (!tools::ReadFileBytes(path, file)) {
    std::fprintf(stderr, "savfile: cannot read %s\n", path);
    return kExitFailed;
  }
  std::string text, error;
  if (!sav::DumpSaveFile(file, text, error)) {
    std::fprintf(stderr, "savfile: %s: %s\n", path, error.c_str());
    return kExitFailed;
  }
  std::fputs(text.c_str(), stdout);
  return kExitOk;
}

int Make(const char* textPath, const char* outPath, int argc, char** argv) {
  sav::Faults faults;
  sav::StateFaults stateFaults;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg != "--fault") return Wrong("unknown option " + std::string(arg));
    if (i + 1 >= argc) return Wrong("--fault needs a NAME after it");
    if (!SetFault(argv[++i], faults, stateFaults)) {
      return Wrong("no fault is called \"" + std::string(argv[i]) + "\"");
    }
  }
  std::vector<uint8_t> textBytes;
  if (!tools::ReadFileBytes(textPath, textBytes)) {
    std::fprintf(stderr, "savfile: cannot read %s\n", textPath);
    return kExitFailed;
  }
  sav::SaveDescription description;
  std::string error;
  if (!sav::ParseSaveText(std::string(textBytes.begin(), textBytes.end()), description, error,
                          stateFaults)) {
    std::fprintf(stderr, "savfile: %s: %s\n", textPath, error.c_str());
    return kExitFailed;
  }
  if (!WriteFileAtomically(outPath, sav::MakeSaveFile(description, faults))) {
    std::fprintf(stderr, "savfile: cannot write %s\n", outPath);
    return kExitFailed;
  }
  return kExitOk;
}

int Seeds(const char* folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  sav::StateParts parts;
  parts.variables = {0, 0, 1, 0, 0, 0};
  parts.historyFlag = 1;
  parts.history = {0, 0, 0, 0};
  parts.snapshot = {0, 0, 1, 0, 0, 0, 0};
  parts.frame = std::vector<uint8_t>{'F', 'R', 'M', 0};
  sav::SaveDescription d;
  PutTitle(d.header.title, "TITLE");
  PutComment(d.header.comment, "COMMENT\r\nLINE");
  d.state = sav::JoinState(parts);
  struct Seed {
    const char* name;
    sav::Faults faults;
    bool packed;
  };
  const Seed seeds[] = {
      {"plain", {}, true},
      {"stored", {}, false},
      {"no_nul", {.fieldsWithoutNul = true}, true},
      {"short_lzss", {.shortLzss = true}, true},
      {"truncated", {.truncateTo = kSaveHeaderBytes + 2}, true},
  };
  for (const Seed& s : seeds) {
    d.packed = s.packed;
    std::vector<uint8_t> big = d.state;
    if (s.packed) big.resize(big.size() + 64, 0);  // long enough to pack
    sav::SaveDescription one = d;
    one.state = big;
    if (!WriteFileAtomically(std::filesystem::path(folder) / s.name,
                             sav::MakeSaveFile(one, s.faults))) {
      return kExitFailed;
    }
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  if (bw::tools::PrintHelpIfAsked(argc, argv, kUsage)) return kExitOk;
  if (argc == 1) return bw::tools::PrintUsage(kUsage);
  const std::string_view command = argv[1];
  if (command == "dump") return argc == 3 ? Dump(argv[2]) : Wrong("dump takes one FILE");
  if (command == "make") {
    return argc >= 4 ? Make(argv[2], argv[3], argc - 4, argv + 4)
                     : Wrong("make needs TEXT and OUT");
  }
  if (command == "seeds") return argc == 3 ? Seeds(argv[2]) : Wrong("seeds takes one DIR");
  return Wrong("unknown command " + std::string(command));
}
