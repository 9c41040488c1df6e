// vfa: writes, lists and extracts VFA packs. Reading goes through the engine's own reader.
// Members are named in CP932 inside the pack and in UTF-8 on the command line.
//   vfa pack [options] FOLDER OUT.VFA
//   vfa list [--key1 N] [--key2 N] PACK
//   vfa extract [--key1 N] [--key2 N] PACK NAME OUT
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "common/sjis.h"
#include "host/cp932.h"
#include "lib/tool_args.h"
#include "lib/tool_exit.h"
#include "lib/vfa/vfa_writer.h"
#include "platform/memory_stream.h"
#include "resource/packs/vfa_archive.h"
#include "resource/packs/vfa_decoder.h"

namespace {

constexpr bw::tools::ToolUsage kUsage = {
    "vfa: packs a folder into a VFA pack, the engine's archive of game files, and lists or\n"
    "extracts the members of one through the engine's own reader.",
    "usage: vfa pack [options] FOLDER OUT.VFA\n"
    "         --sector        index size and offsets in 2048-byte sectors\n"
    "         --no-names      no name trie (members are known as %06d.DAT)\n"
    "         --wide          32-bit name-trie links\n"
    "         --scramble      key-scramble the first 64 words of each member\n"
    "         --records13     13-byte entry records with an unpacked size\n"
    "         --prefix        store the members' common leading bytes once\n"
    "         --flag4         set pack flag bit 4\n"
    "         --nibble        nibble-scramble every member\n"
    "         --pack          LZSS-pack members that get smaller\n"
    "         --key1 N --key2 N  the title's key words\n"
    "       vfa list [--key1 N] [--key2 N] PACK\n"
    "       vfa extract [--key1 N] [--key2 N] PACK NAME OUT\n"
    "         NAME as listed, in any case, with '\\' or '/' between folders\n"};

int Usage() {
  return bw::tools::PrintUsage(kUsage);
}

int Wrong(std::string_view what) {
  return bw::tools::UsageError("vfa", kUsage, what);
}

bool ParseWord(const char* text, uint32_t& value) {
  char* end = nullptr;
  unsigned long long v = std::strtoull(text, &end, 0);
  if (!*text || *end || v > 0xFFFFFFFFull) return false;
  value = static_cast<uint32_t>(v);
  return true;
}

// Takes --key1/--key2 and the flags of `pack`; the rest stay as positional arguments.
bool ParseOptions(int argc, char** argv, bool allowPackOptions, bw::tools::VfaPackOptions& options,
                  bool& nibbles, std::vector<std::string>& positional) {
  for (int i = 0; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--key1" || a == "--key2") {
      if (i + 1 >= argc ||
          !ParseWord(argv[++i], a == "--key1" ? options.keyWord1 : options.keyWord2)) {
        std::fprintf(stderr, "vfa: %s needs a 32-bit number\n", a.c_str());
        return false;
      }
    } else if (allowPackOptions && a == "--sector") {
      options.sectorMode = true;
    } else if (allowPackOptions && a == "--no-names") {
      options.names = false;
    } else if (allowPackOptions && a == "--wide") {
      options.wideTrie = true;
    } else if (allowPackOptions && a == "--scramble") {
      options.keyScramble = true;
    } else if (allowPackOptions && a == "--records13") {
      options.unpackedSizes = true;
    } else if (allowPackOptions && a == "--prefix") {
      options.commonPrefix = true;
    } else if (allowPackOptions && a == "--flag4") {
      options.storedFlag = true;
    } else if (allowPackOptions && a == "--nibble") {
      nibbles = true;
    } else if (allowPackOptions && a == "--pack") {
      options.pack = true;
    } else if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "vfa: unknown option %s\n", a.c_str());
      return false;
    } else {
      positional.push_back(a);
    }
  }
  return true;
}

int Pack(int argc, char** argv) {
  bw::tools::VfaPackOptions options;
  std::vector<std::string> args;
  bool nibbles = false;
  if (!ParseOptions(argc, argv, true, options, nibbles, args)) return Usage();
  if (args.size() != 2) return Wrong("pack needs FOLDER and OUT.VFA");
  std::vector<bw::tools::VfaMemberSource> members;
  std::string error;
  if (!bw::tools::CollectVfaMembers(args[0], members, &error)) {
    std::fprintf(stderr, "vfa: %s\n", error.c_str());
    return 1;
  }
  for (auto& m : members) m.nibbles = nibbles;
  std::vector<uint8_t> bytes;
  if (!bw::tools::BuildVfaPack(args[1], members, options, bytes, &error)) {
    std::fprintf(stderr, "vfa: %s\n", error.c_str());
    return 1;
  }
  if (!bw::WriteFileAtomically(args[1], bytes)) {
    std::fprintf(stderr, "vfa: cannot write %s\n", args[1].c_str());
    return 1;
  }
  std::printf("%zu members, %zu bytes\n", members.size(), bytes.size());
  return 0;
}

bw::Archive* OpenPack(const std::string& path, const bw::tools::VfaPackOptions& options) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    std::fprintf(stderr, "vfa: cannot open %s: no such file\n", path.c_str());
    return nullptr;
  }
  // Both kinds are known to the decoder: they are taken.
  (void)bw::VfaDecoderAssist(bw::kVfaAssistTables, 1, 0);
  (void)bw::VfaDecoderAssist(bw::kVfaAssistKeyWords, options.keyWord1, options.keyWord2);
  // The engine's own verdict and words: a pack it would not mount is not listed either.
  int error = 0;
  std::string why;
  bw::Archive* archive = bw::OpenVfaPack(path.c_str(), bw::host::HostFile(), &error, &why);
  if (!archive) std::fprintf(stderr, "vfa: cannot open %s: %s\n", path.c_str(), why.c_str());
  return archive;
}

int List(int argc, char** argv) {
  bw::tools::VfaPackOptions options;
  std::vector<std::string> args;
  bool nibbles = false;
  if (!ParseOptions(argc, argv, false, options, nibbles, args)) return Usage();
  if (args.size() != 1) return Wrong("list takes one PACK");
  bw::Archive* archive = OpenPack(args[0], options);
  if (!archive) return 1;
  std::printf("%-8s %10s %10s %10s %-6s %s\n", "index", "offset", "size", "unpacked", "flags",
              "name");
  for (uint32_t i = 0; i < archive->GetEntryCount(); ++i) {
    const char* name = "";
    const bw::ArchiveEntryInfo* info = archive->GetEntryInfo(i, &name);
    std::printf("%-8u %10u %10u %10u %c%c     %s\n", i, info->offset, info->size,
                info->unpackedSize, info->packed ? 'P' : '-', info->flag ? 'N' : '-',
                bw::host::Cp932ToUtf8Lenient(name).c_str());
  }
  archive->Release();
  return 0;
}

int Extract(int argc, char** argv) {
  bw::tools::VfaPackOptions options;
  std::vector<std::string> args;
  bool nibbles = false;
  if (!ParseOptions(argc, argv, false, options, nibbles, args)) return Usage();
  if (args.size() != 3) return Wrong("extract needs PACK, NAME and OUT");
  bw::host::Cp932Conversion member = bw::host::Utf8ToCp932(args[1]);
  if (!member.ok) {
    std::fprintf(stderr, "vfa: %s: no such member (the name has no CP932 form)\n", args[1].c_str());
    return 1;
  }
  // Members are named with '\'; 0x2F is never a trail byte, so every '/' is a separator.
  std::replace(member.text.begin(), member.text.end(), '/', '\\');
  bw::Archive* archive = OpenPack(args[0], options);
  if (!archive) return 1;
  bw::GlobalBlock block;
  int code =
      archive->ReadByName(member.text.c_str(), bw::AllocGlobalBlock, &block, nullptr, nullptr);
  if (code == bw::kArchiveNotFound) {
    // A pack without names knows its members by their generated names.
    for (uint32_t i = 0; i < archive->GetEntryCount(); ++i) {
      const char* name = "";
      if (archive->GetEntryInfo(i, &name) && bw::sjis::EqualsNoCase(name, member.text) &&
          !archive->Exists(name)) {
        code = archive->ReadByIndex(i, bw::AllocGlobalBlock, &block, nullptr, nullptr);
        break;
      }
    }
  }
  archive->Release();
  if (code != bw::kArchiveOk) {
    bw::FreeGlobalBlock(&block);
    std::fprintf(stderr, "vfa: cannot extract %s from %s: %s\n", args[1].c_str(), args[0].c_str(),
                 bw::DescribeArchiveError(code).c_str());
    return 1;
  }
  const bool ok = bw::WriteFileAtomically(
      args[2], std::span<const uint8_t>(static_cast<const uint8_t*>(block.pointer), block.size));
  bw::FreeGlobalBlock(&block);
  if (!ok) {
    std::fprintf(stderr, "vfa: cannot write %s\n", args[2].c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (bw::tools::PrintHelpIfAsked(argc, argv, kUsage)) return bw::tools::kExitOk;
  if (argc < 2) return Usage();
  std::string command = argv[1];
  if (command == "pack") return Pack(argc - 2, argv + 2);
  if (command == "list") return List(argc - 2, argv + 2);
  if (command == "extract") return Extract(argc - 2, argv + 2);
  return Wrong("unknown command " + command);
}
