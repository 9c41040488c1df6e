// oggtone OUT.ogg --freq HZ --ms MS [--rate HZ] [--channels 1|2]: writes a sine tone as Ogg Vorbis.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "lib/file_bytes.h"
#include "lib/ogg/ogg_vorbis_writer.h"
#include "lib/tool_args.h"
#include "lib/tool_exit.h"

namespace {

using bw::tools::kExitFailed;
using bw::tools::kExitOk;
using bw::tools::TakeNumber;

constexpr bw::tools::ToolUsage kUsage = {
    "oggtone: writes a sine tone as an Ogg Vorbis file, for test sounds and music.",
    "usage: oggtone OUT.ogg --freq HZ --ms MS [--rate HZ] [--channels 1|2]\n"};

int Wrong(std::string_view what) {
  return bw::tools::UsageError("oggtone", kUsage, what);
}

}  // namespace

int main(int argc, char** argv) {
  if (bw::tools::PrintHelpIfAsked(argc, argv, kUsage)) return kExitOk;
  if (argc == 1) return bw::tools::PrintUsage(kUsage);
  const char* outPath = nullptr;
  double freq = 0;
  uint32_t ms = 0, rate = 44100, channels = 2;
  bool haveFreq = false, haveMs = false;
  std::string error;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    bool ok = true;
    if (arg == "--freq") {
      ok = haveFreq = TakeNumber(argc, argv, i, &freq, &error);
    } else if (arg == "--ms") {
      ok = haveMs = TakeNumber(argc, argv, i, &ms, &error);
    } else if (arg == "--rate") {
      ok = TakeNumber(argc, argv, i, &rate, &error);
    } else if (arg == "--channels") {
      ok = TakeNumber(argc, argv, i, &channels, &error);
    } else {
      ok = bw::tools::TakeOutputPath(argv[i], &outPath, &error);
    }
    if (!ok) return Wrong(error);
  }
  if (outPath == nullptr) return Wrong("no output file");
  if (!haveFreq || !haveMs) return Wrong(haveFreq ? "--ms is missing" : "--freq is missing");
  if (!(freq > 0)) return Wrong("--freq must be above 0");
  // An hour at most keeps the samples in memory within reason.
  if (ms > 3600000) return Wrong("--ms must be at most 3600000 (an hour)");
  if (rate == 0 || rate > 192000) return Wrong("--rate must be 1 to 192000");
  if (channels != 1 && channels != 2) return Wrong("--channels must be 1 or 2");

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
