// gmp write TEXT OUT: writes the GMP screen file that the text form TEXT describes.
// gmp dump FILE: prints the background and the parts the engine reads from FILE.
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "lib/file_bytes.h"
#include "lib/gmp/gmp_writer.h"
#include "lib/tool_exit.h"
#include "resource/images/gmp_file.h"

namespace {

using bw::tools::kExitFailed;
using bw::tools::kExitOk;

constexpr bw::tools::ToolUsage kUsage = {
    "gmp: writes GMP screen files from a text form, broken ones too, or shows what one holds.",
    "usage: gmp write TEXT OUT   TEXT: one item a line:\n"
    "                              background NAME\n"
    "                              part KIND X Y ALPHA VISIBLE WIDTH HEIGHT STATE NAME\n"
    "                              part 0 X Y ALPHA VISIBLE NAME\n"
    "                              fault magic | count N | namelength N | kind N | layeronly\n"
    "                              fault cut magic|background|count|namelength|name|record\n"
    "       gmp dump FILE\n"};

int Write(const std::filesystem::path& textPath, const std::filesystem::path& out) {
  std::vector<uint8_t> text;
  if (!bw::tools::ReadFileBytes(textPath, text)) {
    std::fprintf(stderr, "gmp: cannot read %s\n", textPath.c_str());
    return kExitFailed;
  }
  bw::GmpFile file;
  bw::tools::GmpFaults faults;
  std::string error;
  if (!bw::tools::ParseGmpText({reinterpret_cast<const char*>(text.data()), text.size()}, &file,
                               &faults, &error)) {
    std::fprintf(stderr, "gmp: %s: %s\n", textPath.c_str(), error.c_str());
    return kExitFailed;
  }
  return bw::tools::WriteFileBytes("gmp", out, bw::tools::WriteGmp(file, faults)) ? kExitOk
                                                                                  : kExitFailed;
}

int Dump(const std::filesystem::path& path) {
  std::vector<uint8_t> bytes;
  if (!bw::tools::ReadFileBytes(path, bytes)) {
    std::fprintf(stderr, "gmp: cannot read %s\n", path.c_str());
    return kExitFailed;
  }
  bw::GmpFile file;
  int result = bw::ParseGmp(bytes, true, &file);
  if (result != bw::kGmpLoaded) {
    std::printf("refused: %d\n", result);
    return kExitFailed;
  }
  std::printf("background %s\n", file.background.empty() ? "(none)" : file.background.c_str());
  for (const bw::GmpEntry& e : file.entries) {
    std::printf("part %d %d %d %d %d", e.kind, e.x, e.y, e.alpha, e.visible ? 1 : 0);
    if (e.kind != bw::kGmpLayerOnly) std::printf(" %d %d %d", e.width, e.height, e.stateCode);
    std::printf(" %s\n", e.name.c_str());
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  if (bw::tools::PrintHelpIfAsked(argc, argv, kUsage)) return kExitOk;
  std::string_view command = argc > 1 ? argv[1] : "";
  if (command == "write" && argc == 4) return Write(argv[2], argv[3]);
  if (command == "dump" && argc == 3) return Dump(argv[2]);
  return bw::tools::PrintUsage(kUsage);
}
