#include "lib/config/config_writers.h"

#include "app/config/config_block.h"
#include "common/atomic_file.h"
#include "lib/le_bytes.h"

namespace bw::tools {

namespace {

void AppendRecord(std::vector<uint8_t>& out, const ConfigRecord& record, int lengthBytes) {
  uint32_t length = record.declaredLength.value_or(static_cast<uint32_t>(record.body.size()));
  PutLe(out, length, lengthBytes);
  PutBytes(out, record.body);
}

template <class Block>
ConfigRecord BlockRecord(const Block& block) {
  auto bytes = EncodeBlock(block);
  return ConfigRecord{{bytes.begin(), bytes.end()}, std::nullopt};
}

bool WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes,
                std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  if (WriteFileAtomically(path, bytes)) return true;
  if (error) *error = "cannot write " + path.string();
  return false;
}

}  // namespace

ConfigRecord TextRecord(std::string_view text, bool terminated) {
  ConfigRecord record{{text.begin(), text.end()}, std::nullopt};
  if (terminated) record.body.push_back(0);
  return record;
}

ConfigRecord AppRecordBody(const AppRecord& record) {
  return BlockRecord(record);
}
ConfigRecord UserConfigBody(const UserConfig& config) {
  return BlockRecord(config);
}

std::vector<ConfigRecord> UserCfgRecords(const EngineConfig& config) {
  return {BlockRecord(config.engine), BlockRecord(config.display), BlockRecord(config.pacing),
          config.chosenSaveFolder ? TextRecord(*config.chosenSaveFolder) : ConfigRecord{}};
}

std::vector<ConfigRecord> AppInfTexts(const AppInfo& info) {
  auto text = [](const std::string& s) { return s.empty() ? ConfigRecord{} : TextRecord(s); };
  return {text(info.appName), text(info.productTitle), text(info.notice), text(info.webAddress),
          info.saveFolderName ? TextRecord(*info.saveFolderName) : ConfigRecord{}};
}

std::vector<uint8_t> WriteAppSys(const ConfigRecord& record) {
  std::vector<uint8_t> out;
  AppendRecord(out, record, 2);
  return out;
}

std::vector<uint8_t> WriteAppInf(std::array<uint8_t, 3> version,
                                 std::span<const ConfigRecord> texts) {
  std::vector<uint8_t> out(version.begin(), version.end());
  for (const auto& text : texts) AppendRecord(out, text, 1);
  return out;
}

std::vector<uint8_t> WriteUserCfg(std::span<const ConfigRecord> records) {
  std::vector<uint8_t> out;
  for (const auto& record : records) AppendRecord(out, record, 2);
  return out;
}

std::vector<uint8_t> WriteAppCfg(const ConfigRecord& record) {
  std::vector<uint8_t> out;
  AppendRecord(out, record, 4);
  return out;
}

std::vector<uint8_t> WriteSetupIfg(std::string_view magic, const ConfigRecord& key,
                                   std::optional<uint8_t> perUser) {
  std::vector<uint8_t> out(magic.begin(), magic.end());
  AppendRecord(out, key, 1);
  if (perUser) out.push_back(*perUser);
  return out;
}

std::vector<uint8_t> WriteAppSys(const AppRecord& record) {
  return WriteAppSys(AppRecordBody(record));
}

std::vector<uint8_t> WriteAppInf(const AppInfo& info) {
  return WriteAppInf({info.majorVersion, info.minorVersion, info.revision}, AppInfTexts(info));
}

std::vector<uint8_t> WriteUserCfg(const EngineConfig& config) {
  return WriteUserCfg(UserCfgRecords(config));
}

std::vector<uint8_t> WriteAppCfg(const UserConfig& config) {
  return WriteAppCfg(UserConfigBody(config));
}

std::vector<uint8_t> WriteSetupIfg(const SetupInfo& info) {
  if (!info.uninstallKey) return WriteSetupIfg("IFG1", ConfigRecord{}, std::nullopt);
  return WriteSetupIfg("IFG1", TextRecord(*info.uninstallKey), info.perUser);
}

bool WriteGameConfig(const std::filesystem::path& gameFolder, const AppRecord& record,
                     const AppInfo& info, const EngineConfig& config, std::string* error) {
  return WriteBytes(gameFolder / "SCRIPT" / "QZ_APP.SYS", WriteAppSys(record), error) &&
         WriteBytes(gameFolder / "SCRIPT" / "QZ_APP.INF", WriteAppInf(info), error) &&
         WriteBytes(gameFolder / "USER.CFG", WriteUserCfg(config), error);
}

}  // namespace bw::tools
