// Writes the configuration files the engine reads ("SCRIPT\QZ_APP.SYS", "SCRIPT\QZ_APP.INF",
// "USER.CFG", "APP_CFG.DAT", "SET_UP.IFG"), and, for tests, with faults: records whose length
// says more or less than their bytes, records longer than their blocks, texts without their
// NUL, a wrong magic. A file cut short is the written vector resized.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/config/app_info.h"
#include "app/config/app_record.h"
#include "app/config/engine_config.h"
#include "app/config/setup_info.h"
#include "app/config/user_config.h"

namespace bw::tools {

// One length-prefixed record.
struct ConfigRecord {
  std::vector<uint8_t> body;
  std::optional<uint32_t> declaredLength;  // written in place of the body's size
};

// A text with its NUL, or without it (terminated false).
ConfigRecord TextRecord(std::string_view text, bool terminated = true);

ConfigRecord AppRecordBody(const AppRecord& record);
ConfigRecord UserConfigBody(const UserConfig& config);
// The four records of USER.CFG: the three blocks and the chosen folder (empty when unset).
std::vector<ConfigRecord> UserCfgRecords(const EngineConfig& config);
// The five texts of QZ_APP.INF (the fifth empty when unset).
std::vector<ConfigRecord> AppInfTexts(const AppInfo& info);

// Each file from its records; lengths are u16 (QZ_APP.SYS, USER.CFG), u8 (QZ_APP.INF,
// SET_UP.IFG) or u32 (APP_CFG.DAT), cut to their width when a declared length is wider.
std::vector<uint8_t> WriteAppSys(const ConfigRecord& record);
std::vector<uint8_t> WriteAppInf(std::array<uint8_t, 3> version,
                                 std::span<const ConfigRecord> texts);
std::vector<uint8_t> WriteUserCfg(std::span<const ConfigRecord> records);
std::vector<uint8_t> WriteAppCfg(const ConfigRecord& record);
// No per-user byte when perUser is unset.
std::vector<uint8_t> WriteSetupIfg(std::string_view magic, const ConfigRecord& key,
                                   std::optional<uint8_t> perUser);

// The well-formed files.
std::vector<uint8_t> WriteAppSys(const AppRecord& record);
std::vector<uint8_t> WriteAppInf(const AppInfo& info);
std::vector<uint8_t> WriteUserCfg(const EngineConfig& config);
std::vector<uint8_t> WriteAppCfg(const UserConfig& config);
std::vector<uint8_t> WriteSetupIfg(const SetupInfo& info);

// A game folder's configuration: SCRIPT\QZ_APP.SYS, SCRIPT\QZ_APP.INF and the shipped USER.CFG.
[[nodiscard]] bool WriteGameConfig(const std::filesystem::path& gameFolder, const AppRecord& record,
                                   const AppInfo& info, const EngineConfig& config,
                                   std::string* error);

}  // namespace bw::tools
