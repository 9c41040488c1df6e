// movgen OUT.(MPG|AVI|MP4|WMV) [options]: writes a small test movie, a colour and a tone per
// second.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "lib/file_bytes.h"
#include "lib/movie/movie_writer.h"
#include "lib/tool_args.h"
#include "lib/tool_exit.h"

namespace {

using bw::tools::kExitFailed;
using bw::tools::kExitOk;
using bw::tools::MovieContainer;
using bw::tools::ParseNumber;
using bw::tools::TakeNumber;

constexpr bw::tools::ToolUsage kUsage = {
    "movgen: writes a small test movie: each second one colour with a moving bar, and one tone.",
    "usage: movgen OUT.(MPG|AVI|MP4|WMV) [--size WxH] [--fps N] [--ms MS] [--rate HZ]\n"
    "              [--sound-only] [--picture-only] [--keep PERCENT] [--corrupt] [--huge]\n"
    "  the extension picks MPEG-1 with MP2, MPEG-4 with PCM, MPEG-4 with AAC, or WMV2 with WMA;\n"
    "  --keep cuts the file short, --corrupt spoils packets, --huge claims 8000 x 8000 (not "
    "MPG)\n"};

bool ParseSize(std::string_view text, int32_t* w, int32_t* h) {
  const size_t x = text.find('x');
  return x != std::string_view::npos && ParseNumber(text.substr(0, x), w) &&
         ParseNumber(text.substr(x + 1), h);
}

bool ContainerOf(std::string_view path, MovieContainer* out) {
  const size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string ext(path.substr(dot));
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (MovieContainer c :
       {MovieContainer::kMpeg1, MovieContainer::kAvi, MovieContainer::kMp4, MovieContainer::kWmv}) {
    if (ext == bw::tools::MovieExtension(c)) {
      *out = c;
      return true;
    }
  }
  return false;
}

int Wrong(std::string_view what) {
  return bw::tools::UsageError("movgen", kUsage, what);
}

}  // namespace

int main(int argc, char** argv) {
  if (bw::tools::PrintHelpIfAsked(argc, argv, kUsage)) return kExitOk;
  if (argc == 1) return bw::tools::PrintUsage(kUsage);
  const char* outPath = nullptr;
  bw::tools::MovieWriterOptions options;
  std::string error;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    bool ok = true;
    if (arg == "--size") {
      if (i + 1 >= argc) return Wrong("--size needs WIDTHxHEIGHT after it");
      ok = ParseSize(argv[++i], &options.width, &options.height);
      if (!ok) error = "--size needs WIDTHxHEIGHT, not \"" + std::string(argv[i]) + "\"";
    } else if (arg == "--fps") {
      ok = TakeNumber(argc, argv, i, &options.framesPerSecond, &error);
    } else if (arg == "--ms") {
      ok = TakeNumber(argc, argv, i, &options.ms, &error);
    } else if (arg == "--rate") {
      ok = TakeNumber(argc, argv, i, &options.soundRate, &error);
    } else if (arg == "--keep") {
      ok = TakeNumber(argc, argv, i, &options.keepPercent, &error);
    } else if (arg == "--sound-only") {
      options.picture = false;
    } else if (arg == "--picture-only") {
      options.sound = false;
    } else if (arg == "--corrupt") {
      options.corrupt = true;
    } else if (arg == "--huge") {
      options.hugeSize = true;
    } else {
      ok = bw::tools::TakeOutputPath(argv[i], &outPath, &error);
    }
    if (!ok) return Wrong(error);
  }
  if (outPath == nullptr) return Wrong("no output file");
  if (!ContainerOf(outPath, &options.container)) {
    return Wrong(std::string(outPath) + " does not end in .MPG, .AVI, .MP4 or .WMV");
  }
  std::vector<uint8_t> movie;
  if (int r = bw::tools::WriteMovie(options, &movie); r != bw::tools::kMovieWriteOk) {
    if (r == bw::tools::kMovieWriteBadOptions) {
      return Wrong("the options ask for a movie that cannot be made (code " + std::to_string(r) +
                   ")");
    }
    return bw::tools::Failure("movgen",
                              "the movie could not be made (code " + std::to_string(r) + ")");
  }
  return bw::tools::WriteFileBytes("movgen", outPath, movie) ? kExitOk : kExitFailed;
}
