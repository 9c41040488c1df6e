// wgx encode IN.bmp OUT.wgx [--form 0|1|2] [--depth 8|24|32]
// wgx decode IN.wgx OUT.bmp
// Turns bitmaps into WGX pictures and back.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "lib/bmp/bmp_plain.h"
#include "lib/file_bytes.h"
#include "lib/tool_args.h"
#include "lib/tool_exit.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/bmp_loader.h"
#include "resource/images/wgx_loader.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr bw::tools::ToolUsage kUsage = {
    "wgx: turns bitmaps into WGX pictures, the engine's own picture format, and back.",
    "usage: wgx encode IN.bmp OUT.wgx [--form 0|1|2] [--depth 8|24|32]\n"
    "         --form    0 plain header, 1 with offsets, 2 with offsets and a chunk list\n"
    "         --depth   8 (up to 256 colours), 24, or 32 with alpha; else from the bitmap\n"
    "       wgx decode IN.wgx OUT.bmp\n"};

int Usage() {
  return bw::tools::PrintUsage(kUsage);
}

int Wrong(std::string_view what) {
  return bw::tools::UsageError("wgx", kUsage, what);
}

// Pixel x of a DIB row as 0xAARRGGBB; pictures without alpha are opaque.
uint32_t PixelAt(const bw::DibImage& dib, const uint8_t* row, int x) {
  switch (dib.bits) {
    case 1:
    case 4:
    case 8: {
      size_t bit = size_t(x) * dib.bits;
      uint32_t index = (row[bit / 8] >> (8 - dib.bits - bit % 8)) & ((1u << dib.bits) - 1);
      return 0xFF000000 | (index < dib.palette.size() ? dib.palette[index] & 0xFFFFFF : 0);
    }
    case 16: {
      uint32_t v = row[2 * x] | (row[2 * x + 1] << 8);
      return 0xFF000000 | (((v >> 10) & 31) << 19) | (((v >> 5) & 31) << 11) | ((v & 31) << 3);
    }
    case 24:
      return 0xFF000000 | row[3 * x] | (row[3 * x + 1] << 8) | (uint32_t(row[3 * x + 2]) << 16);
    default:
      return row[4 * x] | (row[4 * x + 1] << 8) | (uint32_t(row[4 * x + 2]) << 16) |
             (uint32_t(row[4 * x + 3]) << 24);
  }
}

int Encode(const char* inPath, const char* outPath, int form, int depth) {
  Bytes file;
  if (!bw::tools::ReadFileBytes(inPath, file)) {
    std::fprintf(stderr, "wgx: cannot read %s\n", inPath);
    return bw::tools::kExitFailed;
  }
  Bytes plain;
  std::string reason;
  if (!bw::tools::MakePlainBmp(file, &plain, &reason)) {
    std::fprintf(stderr, "wgx: %s: %s\n", inPath, reason.c_str());
    return bw::tools::kExitFailed;
  }
  bw::DibImage dib;
  if (int rc = bw::BmpLoader::LoadToBuffers(plain, dib)) {
    std::fprintf(stderr,
                 "wgx: %s is not a bitmap the engine reads (code %d): it takes 1, 4, 8, 16, 24 "
                 "and 32 bits, plain or as bit fields, and 4- and 8-bit RLE\n",
                 inPath, rc);
    return bw::tools::kExitFailed;
  }
  if (dib.width > 0xFFFF || dib.Rows() > 0xFFFF) {
    std::fprintf(stderr, "wgx: %s is larger than 65535 pixels a side\n", inPath);
    return bw::tools::kExitFailed;
  }
  bw::tools::WgxPicture picture;
  picture.width = uint32_t(dib.width);
  picture.height = dib.Rows();
  picture.depth = depth ? depth : dib.bits <= 8 ? 8 : dib.bits == 32 ? 32 : 24;
  for (uint32_t y = 0; y < picture.height; ++y)
    for (int x = 0; x < dib.width; ++x) picture.pixels.push_back(PixelAt(dib, dib.Row(y), x));
  if (picture.depth == 8) {
    // Indices into a palette of the picture's own colours.
    std::map<uint32_t, uint32_t> index;
    for (auto& p : picture.pixels) {
      auto [it, added] = index.emplace(p & 0xFFFFFF, uint32_t(index.size()));
      if (added) picture.palette.push_back(p & 0xFFFFFF);
      if (index.size() > 256) {
        std::fprintf(stderr, "wgx: %s has more than 256 colours; use --depth 24\n", inPath);
        return bw::tools::kExitFailed;
      }
      p = it->second;
    }
  }
  bw::tools::WgxWriteOptions options;
  options.form = form;
  return bw::tools::WriteFileBytes("wgx", outPath, bw::tools::WriteWgx(picture, options))
             ? bw::tools::kExitOk
             : bw::tools::kExitFailed;
}

int Decode(const char* inPath, const char* outPath) {
  Bytes file;
  if (!bw::tools::ReadFileBytes(inPath, file)) {
    std::fprintf(stderr, "wgx: cannot read %s\n", inPath);
    return bw::tools::kExitFailed;
  }
  bw::WgxLoader loader;
  bw::DibImage dib;
  if (int rc = loader.LoadToBuffers(file, dib)) {
    std::fprintf(stderr, "wgx: %s is not a WGX picture the engine reads (code %d)\n", inPath, rc);
    return bw::tools::kExitFailed;
  }
  Bytes out;
  auto write = [&](const void* p, size_t n) {
    out.insert(out.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
    return true;
  };
  // The DIB is bottom-up: a negative height tells the writer so.
  int mode = dib.bits == 32 ? bw::kBmpSave32 : bw::kBmpSaveColour;
  if (int rc = bw::BmpLoader::Save(mode, dib.pixels, dib.width, -dib.height, dib.bits, dib.pitch,
                                   write, dib.palette.empty() ? nullptr : dib.palette.data())) {
    std::fprintf(stderr, "wgx: cannot make a bitmap of %s (code %d)\n", inPath, rc);
    return bw::tools::kExitFailed;
  }
  return bw::tools::WriteFileBytes("wgx", outPath, out) ? bw::tools::kExitOk
                                                        : bw::tools::kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  if (bw::tools::PrintHelpIfAsked(argc, argv, kUsage)) return bw::tools::kExitOk;
  if (argc == 1) return Usage();
  std::string command = argv[1];
  if (command != "encode" && command != "decode") return Wrong("unknown command " + command);
  if (argc < 4) return Wrong(command + " needs an input and an output file");
  if (command == "decode") {
    return argc == 4 ? Decode(argv[2], argv[3]) : Wrong("decode takes no options");
  }
  int form = 0, depth = 0;
  std::string error;
  for (int i = 4; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--form") {
      if (!bw::tools::TakeNumber(argc, argv, i, &form, &error)) return Wrong(error);
      if (form < 0 || form > 2) return Wrong("--form must be 0, 1 or 2");
    } else if (option == "--depth") {
      if (!bw::tools::TakeNumber(argc, argv, i, &depth, &error)) return Wrong(error);
      if (depth != 8 && depth != 24 && depth != 32) return Wrong("--depth must be 8, 24 or 32");
    } else {
      return Wrong("unknown option " + option);
    }
  }
  return Encode(argv[2], argv[3], form, depth);
}
