// appcfg game DIR [NAME]: writes a game folder's SCRIPT\QZ_APP.SYS, SCRIPT\QZ_APP.INF and
//   USER.CFG with the engine's defaults (NAME, UTF-8, becomes the application name).
// appcfg dump FILE: prints what the engine reads from a configuration file, known by its name.
// appcfg seeds DIR: writes the seed corpus of the configuration fuzz target.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/config/config_block.h"
#include "common/atomic_file.h"
#include "common/sjis.h"
#include "host/cp932.h"
#include "lib/config/config_writers.h"
#include "lib/file_bytes.h"
#include "lib/tool_args.h"
#include "lib/tool_exit.h"

namespace {

using namespace bw;
using Bytes = std::vector<uint8_t>;

using bw::tools::kExitFailed;
using bw::tools::kExitOk;
using bw::tools::kExitUsage;

constexpr bw::tools::ToolUsage kUsage = {
    "appcfg: writes a game folder's application and user settings files with the engine's\n"
    "defaults, or shows what the engine reads from one.",
    "usage: appcfg game DIR [NAME]   the files below DIR (NAME: the application name)\n"
    "       appcfg dump FILE         what the engine reads from FILE\n"
    "       appcfg seeds DIR         the seed corpus of the settings fuzz target\n"};

int Usage() {
  return bw::tools::PrintUsage(kUsage);
}

void PrintBlock(const char* name, std::span<const uint8_t> bytes) {
  std::printf("%s (%zu bytes)", name, bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i % 16 == 0) std::printf("\n  %3zu:", i);
    std::printf(" %02X", bytes[i]);
  }
  std::printf("\n");
}

void PrintText(const char* name, const std::optional<std::string>& text) {
  if (text) {
    std::printf("%s: \"%s\"\n", name, host::Cp932ToUtf8Lenient(*text).c_str());
  } else {
    std::printf("%s: (unset)\n", name);
  }
}

// Reads the file as the engine does, then prints what the engine took; a file the engine
// refuses is said on standard error, with where it broke, and fails.
int Dump(const std::filesystem::path& path) {
  Bytes file;
  if (!tools::ReadFileBytes(path, file)) {
    std::fprintf(stderr, "appcfg: cannot read %s\n", path.c_str());
    return kExitFailed;
  }
  const std::string leaf = sjis::ToUpper(path.filename().string());
  std::string why;
  std::function<void()> print;
  int status;
  if (leaf == "QZ_APP.SYS") {
    AppRecord record;
    status = ReadAppRecord(file, record, &why);
    print = [record] { PrintBlock("application record", EncodeBlock(record)); };
  } else if (leaf == "QZ_APP.INF") {
    AppInfo info;
    status = ReadAppInfo(file, info, &why);
    print = [info] {
      std::printf("version: %d.%02d revision %x\n", info.majorVersion, info.minorVersion,
                  info.revision);
      PrintText("application name", info.appName);
      PrintText("product title", info.productTitle);
      PrintText("notice", info.notice);
      PrintText("web address", info.webAddress);
      PrintText("save-folder name", info.saveFolderName);
    };
  } else if (leaf == "USER.CFG") {
    EngineConfig config;
    status = ReadEngineConfig(file, config, &why);
    print = [config] {
      PrintBlock("engine settings", EncodeBlock(config.engine));
      PrintBlock("display settings", EncodeBlock(config.display));
      PrintBlock("frame pacing", EncodeBlock(config.pacing));
      PrintText("chosen save folder", config.chosenSaveFolder);
    };
  } else if (leaf == "APP_CFG.DAT") {
    UserConfig user;
    status = ReadUserConfig(file, user, &why);
    print = [user] { PrintBlock("user settings", EncodeBlock(user)); };
  } else if (leaf == "SET_UP.IFG") {
    SetupInfo setup;
    status = ReadSetupInfo(file, setup, &why);
    print = [setup] {
      PrintText("uninstall key", setup.uninstallKey);
      std::printf("per user: %d\n", setup.perUser);
    };
  } else {
    std::fprintf(
        stderr, "appcfg: %s is none of QZ_APP.SYS, QZ_APP.INF, USER.CFG, APP_CFG.DAT, SET_UP.IFG\n",
        leaf.c_str());
    return kExitUsage;
  }
  if (!ConfigTaken(status)) {
    std::fprintf(stderr, "appcfg: the engine refuses %s: %s\n", path.c_str(), why.c_str());
    return kExitFailed;
  }
  print();
  std::printf("file: %s\n",
              status == kConfigOk ? "whole" : "taken, with a text ended where it had no NUL");
  return kExitOk;
}

int Game(const std::filesystem::path& folder, const char* name) {
  AppInfo info;
  if (name) {
    auto cp932 = host::Utf8ToCp932(name);
    if (!cp932.ok) {
      std::fprintf(stderr, "appcfg: the name has no CP932 form\n");
      return kExitUsage;
    }
    info.appName = cp932.text;
  }
  std::string error;
  if (!tools::WriteGameConfig(folder, AppRecord{}, info, EngineConfig{}, &error)) {
    std::fprintf(stderr, "appcfg: %s\n", error.c_str());
    return kExitFailed;
  }
  return kExitOk;
}

int Seeds(const std::filesystem::path& folder) {
  using tools::ConfigRecord;
  AppInfo info;
  info.majorVersion = 1;
  info.minorVersion = 2;
  info.revision = 10;
  info.appName = "\x83\x65\x83\x58\x83\x67";  // テスト
  info.saveFolderName = "Saves";
  EngineConfig config;
  config.chosenSaveFolder = "Z:\\home\\player\\\x95\x5C";  // 表, whose trail byte is '\'

  auto longRecord = tools::AppRecordBody(AppRecord{});
  longRecord.body.resize(40, 0xEE);
  auto unended = tools::AppInfTexts(info);
  unended[0] = tools::TextRecord("NoNul", false);
  unended[2].declaredLength = 250;
  auto shortRecords = tools::UserCfgRecords(config);
  shortRecords[0].body.resize(15);
  shortRecords[2].body.resize(100, 1);
  auto hugeLength = tools::UserConfigBody(UserConfig{});
  hugeLength.declaredLength = 0xFFFFFFFF;
  hugeLength.body.resize(120);

  const std::pair<const char*, Bytes> seeds[] = {
      {"qz_app_sys", tools::WriteAppSys(AppRecord{})},
      {"qz_app_sys_long", tools::WriteAppSys(longRecord)},
      {"qz_app_inf", tools::WriteAppInf(info)},
      {"qz_app_inf_unended", tools::WriteAppInf({1, 0, 0}, unended)},
      {"user_cfg", tools::WriteUserCfg(config)},
      {"user_cfg_short_and_long", tools::WriteUserCfg(shortRecords)},
      {"app_cfg", tools::WriteAppCfg(UserConfig{})},
      {"app_cfg_huge_length", tools::WriteAppCfg(hugeLength)},
      {"set_up_ifg", tools::WriteSetupIfg(SetupInfo{"{0A1B}_is1", 1})},
      {"set_up_ifg_no_key", tools::WriteSetupIfg(SetupInfo{})},
      {"set_up_ifg_bad_magic", tools::WriteSetupIfg("IFG2", tools::TextRecord("key"), 0)},
  };
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  for (const auto& [name, bytes] : seeds) {
    if (!WriteFileAtomically(folder / name, bytes)) {
      std::fprintf(stderr, "appcfg: cannot write %s\n", (folder / name).c_str());
      return kExitFailed;
    }
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  if (bw::tools::PrintHelpIfAsked(argc, argv, kUsage)) return kExitOk;
  if (argc == 1) return Usage();
  const std::string_view command = argv[1];
  auto wrong = [](std::string_view what) { return tools::UsageError("appcfg", kUsage, what); };
  if (command == "game") {
    return argc == 3 || argc == 4 ? Game(argv[2], argc == 4 ? argv[3] : nullptr)
                                  : wrong("game takes DIR and, maybe, NAME");
  }
  if (command == "dump") return argc == 3 ? Dump(argv[2]) : wrong("dump takes one FILE");
  if (command == "seeds") return argc == 3 ? Seeds(argv[2]) : wrong("seeds takes one DIR");
  return wrong("unknown command " + std::string(command));
}
