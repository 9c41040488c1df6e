// gmp write TEXT OUT: writes the GMP screen file that the text form TEXT describes.
// gmp dump FILE: prints the background and the parts the engine reads from FILE.
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "host/cp932.h"
#include "lib/file_bytes.h"
#include "lib/gmp/gmp_writer.h"
#include "lib/tool_args.h"
#include "lib/tool_exit.h"
#include "resource/images/gmp_file.h"

namespace {

using bw::tools::Failure;
using bw::tools::kExitFailed;
using bw::tools::kExitOk;

constexpr bw::tools::ToolUsage kUsage = {
    "gmp: writes GMP screen files from a text form, broken ones too, or shows what one holds.",
    "usage: gmp write TEXT OUT   TEXT: one item a line, NAME the rest of it in UTF-8:\n"
    "                              background NAME\n"
    "                              part KIND X Y ALPHA VISIBLE WIDTH HEIGHT STATE NAME\n"
    "                              part 0 X Y ALPHA VISIBLE NAME\n"
    "                              fault magic | count N | namelength N | kind N | layeronly\n"
    "                              fault cut magic|background|count|namelength|name|record\n"
    "       gmp dump FILE          prints the text form of what the engine reads\n"};

int Wrong(std::string_view what) {
  return bw::tools::UsageError("gmp", kUsage, what);
}

int Write(const std::filesystem::path& textPath, const std::filesystem::path& out) {
  std::vector<uint8_t> text;
  if (!bw::tools::ReadFileBytes(textPath, text)) {
    return Failure("gmp", "cannot read " + textPath.string());
  }
  bw::GmpFile file;
  bw::tools::GmpFaults faults;
  std::string error;
  if (!bw::tools::ParseGmpText({reinterpret_cast<const char*>(text.data()), text.size()}, &file,
                               &faults, &error)) {
    return Failure("gmp", textPath.string() + ": " + error);
  }
  return bw::tools::WriteFileBytes("gmp", out, bw::tools::WriteGmp(file, faults)) ? kExitOk
                                                                                  : kExitFailed;
}

int Dump(const std::filesystem::path& path) {
  std::vector<uint8_t> bytes;
  if (!bw::tools::ReadFileBytes(path, bytes)) return Failure("gmp", "cannot read " + path.string());
  bw::GmpFile file;
  int result = bw::ParseGmp(bytes, true, &file);
  if (result == bw::kGmpBadFile) {
    return Failure("gmp", path.string() +
                              ": not a GMP file the engine reads (no HVM magic, or its table runs "
                              "past its end)");
  }
  if (result == bw::kGmpUnknownKind) {
    return Failure("gmp", path.string() + ": a part is of a kind past 9, which no loader makes");
  }
  if (result != bw::kGmpLoaded) {
    return Failure("gmp", path.string() + ": refused with code " + std::to_string(result));
  }
  // The text form that writes the same file: names in UTF-8.
  if (!file.background.empty()) {
    std::printf("background %s\n", bw::host::Cp932ToUtf8Lenient(file.background).c_str());
  }
  for (const bw::GmpEntry& e : file.entries) {
    std::printf("part %d %d %d %d %d", e.kind, e.x, e.y, e.alpha, e.visible ? 1 : 0);
    if (e.kind != bw::kGmpLayerOnly) std::printf(" %d %d %d", e.width, e.height, e.stateCode);
    std::printf(" %s\n", bw::host::Cp932ToUtf8Lenient(e.name).c_str());
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  if (bw::tools::PrintHelpIfAsked(argc, argv, kUsage)) return kExitOk;
  if (argc == 1) return bw::tools::PrintUsage(kUsage);
  const std::string_view command = argv[1];
  if (command == "write") {
    return argc == 4 ? Write(argv[2], argv[3]) : Wrong("write needs TEXT and OUT");
  }
  if (command == "dump") return argc == 3 ? Dump(argv[2]) : Wrong("dump takes one FILE");
  return Wrong("unknown command " + std::string(command));
}
