#include "app/config/engine_config.h"

#include "app/config/config_block.h"
#include "common/atomic_file.h"
#include "common/sjis.h"

namespace bw {

static_assert(BlockSize<EngineSettings>() == EngineSettings::kSize);
static_assert(BlockSize<DisplaySettings>() == DisplaySettings::kSize);
static_assert(BlockSize<FramePacingSettings>() == FramePacingSettings::kSize);

namespace {

constexpr int kLengthBytes = 2;
// The longest chosen folder a record can hold with its NUL.
constexpr size_t kMaxFolderBytes = 0xFFFE;

void AppendRecord(std::vector<uint8_t>& out, std::span<const uint8_t> body) {
  out.push_back(static_cast<uint8_t>(body.size()));
  out.push_back(static_cast<uint8_t>(body.size() >> 8));
  out.insert(out.end(), body.begin(), body.end());
}

}  // namespace

int ReadEngineConfig(std::span<const uint8_t> file, EngineConfig& config, std::string* why) {
  ByteReader in(file);
  ConfigVerdict verdict;
  EngineConfig read = config;
  std::span<const uint8_t> body;
  if (!ReadBlockRecord(in, kLengthBytes, read.engine, verdict, "the engine settings") ||
      !ReadBlockRecord(in, kLengthBytes, read.display, verdict, "the display settings") ||
      !ReadBlockRecord(in, kLengthBytes, read.pacing, verdict, "the third settings block") ||
      !ReadConfigRecord(in, kLengthBytes, body, verdict, "the chosen save folder")) {
    return verdict.Answer(why);
  }
  read.chosenSaveFolder.reset();
  if (!body.empty()) {
    read.chosenSaveFolder =
        ConfigRecordText(body, verdict, "the chosen save folder", kMaxFolderBytes);
  }
  if (!verdict.Refused()) config = std::move(read);
  return verdict.Answer(why);
}

std::vector<uint8_t> EncodeEngineConfig(const EngineConfig& config) {
  std::vector<uint8_t> out;
  AppendRecord(out, EncodeBlock(config.engine));
  AppendRecord(out, EncodeBlock(config.display));
  AppendRecord(out, EncodeBlock(config.pacing));
  if (config.chosenSaveFolder) {
    // A path longer than a record can say is cut at a character boundary.
    std::string_view path = sjis::Truncate(*config.chosenSaveFolder, kMaxFolderBytes);
    std::vector<uint8_t> text(path.begin(), path.end());
    text.push_back(0);
    AppendRecord(out, text);
  } else {
    AppendRecord(out, {});
  }
  return out;
}

EngineConfig EngineConfigForSave(const EngineConfig& live, uint8_t configuredVSyncMode,
                                 uint8_t configuredPreciseTiming, bool rememberWindowPosition) {
  EngineConfig saved = live;
  saved.pacing.vsyncMode = configuredVSyncMode;
  saved.pacing.preciseTiming = configuredPreciseTiming;
  if (!rememberWindowPosition) {
    saved.display.windowLeft = -1;
    saved.display.windowTop = -1;
  }
  return saved;
}

bool SaveEngineConfig(const std::filesystem::path& path, const EngineConfig& config,
                      std::error_code* error) {
  return WriteFileAtomically(path, EncodeEngineConfig(config), error);
}

}  // namespace bw
