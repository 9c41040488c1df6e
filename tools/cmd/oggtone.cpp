// oggtone OUT.ogg --freq HZ --ms MS [--rate HZ] [--channels 1|2]: writes a sine tone as Ogg Vorbis.
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "lib/file_bytes.h"
#include "lib/ogg/ogg_vorbis_writer.h"
#include "lib/tool_args.h"
#include "lib/tool_exit.h"

namespace {

using bw::tools::kExitFailed;
using bw::tools::kExitOk;
using bw::tools::ParseNumber;

constexpr bw::tools::ToolUsage kUsage = {
    "oggtone: writes a sine tone as an Ogg Vorbis file, for test sounds and music.",
    "usage: oggtone OUT.ogg --freq HZ --ms MS [--rate HZ] [--channels 1|2]\n"};

int Usage() {
  return bw::tools::PrintUsage(kUsage);
}

}  // namespace

int main(int argc, char** argv) {
  if (bw::tools::PrintHelpIfAsked(argc, argv, kUsage)) return kExitOk;
  const char* outPath = nullptr;
  double freq = 0;
  uint32_t ms = 0, rate = 44100, channels = 2;
  bool haveFreq = false, haveMs = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--freq") {
      if (!hasValue || !ParseNumber(argv[++i], &freq)) return Usage();
      haveFreq = true;
    } else if (arg == "--ms") {
      if (!hasValue || !ParseNumber(argv[++i], &ms)) return Usage();
      haveMs = true;
    } else if (arg == "--rate") {
      if (!hasValue || !ParseNumber(argv[++i], &rate)) return Usage();
    } else if (arg == "--channels") {
      if (!hasValue || !ParseNumber(argv[++i], &channels)) return Usage();
    } else if (arg.starts_with("--") || outPath != nullptr) {
      return Usage();
    } else {
      outPath = argv[i];
    }
  }
  // An hour at most keeps the samples in memory within reason.
  if (outPath == nullptr || !haveFreq || !haveMs || !(freq > 0) || ms > 3600000 || rate == 0 ||
      rate > 192000 || (channels != 1 && channels != 2)) {
    return Usage();
  }

  const int channelCount = static_cast<int>(channels);
  auto samples = bw::tools::MakeSineTone(freq, ms, rate, channelCount);
  std::vector<uint8_t> ogg;
  if (int r = bw::tools::EncodeOggVorbis(samples, channelCount, rate, &ogg);
      r != bw::tools::kOggOk) {
    std::fprintf(stderr, "oggtone: the encoder refused the tone (code %d)\n", r);
    return kExitFailed;
  }
  return bw::tools::WriteFileBytes("oggtone", outPath, ogg) ? kExitOk : kExitFailed;
}
