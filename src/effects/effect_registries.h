// The two keyword registries: DcpPluginManager makes the display effects (screen overlays, layer
// and sprite effects) and TcpPluginManager the filter effects (named transitions and image
// filters). Each holds the keywords built into the engine and those of plug-in libraries, which
// are native shared objects exporting GetObjectNum, GetObject, GetObjectName and GetObjectType
// (and, for effects, the optional CallbackAssistFunc and CallbackAssistFunc2).
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "effects/display_effect.h"
#include "effects/filter_effect.h"
#include "host/module.h"

namespace bw {

// A built-in effect's factory.
using EffectFactory = std::unique_ptr<DisplayEffect> (*)(uint32_t extra);
// The factory a plug-in library exports, which hands over an effect it made.
using ExportedEffectFactory = DisplayEffect* (*)(uint32_t extra);
// A built-in filter's factory, and the one a plug-in library exports.
using FilterFactory = std::unique_ptr<FilterEffect> (*)(uint32_t extra);
using ExportedFilterFactory = FilterEffect* (*)(uint32_t extra);
using EffectCommand = int (*)(ArgList args);
using EffectArgsCommand = int (*)(ArgWords args);
using RecordRoutine = void (*)();

// Register results.
constexpr int kRegistered = 0;
constexpr int kRegisterIncomplete = 1;  // no factory or no keyword

// LoadPlugin results.
constexpr int kEffectPluginLoaded = 0;
constexpr int kEffectPluginBadPath = 1;
constexpr int kEffectPluginNotLoaded = 2;
constexpr int kEffectPluginMissingExport = 3;
constexpr int kEffectPluginFailed = 4;  // any other failure, a null keyword among them
// LoadPluginFolder: the folder path cannot be built.
constexpr int kEffectPluginFolderRefused = -1;

struct EffectRecord {
  uint8_t kind = 0;
  const char* keyword = nullptr;    // not copied: static, or the plug-in's own
  EffectFactory factory = nullptr;  // a built-in record's
  EffectCommand command = nullptr;
  EffectArgsCommand argsCommand = nullptr;
  host::HMODULE module = nullptr;            // null for a built-in record
  uint32_t extra = 0;                        // handed to the factory
  const char* argKinds = nullptr;            // see kArgInteger; null: every word an integer
  ExportedEffectFactory exported = nullptr;  // a plug-in record's
};

struct TransitionRecord {
  uint8_t kind = 0;
  bool initialised = false;
  const char* keyword = nullptr;
  FilterFactory factory = nullptr;
  host::HMODULE module = nullptr;
  uint32_t extra = 0;
  RecordRoutine initialiser = nullptr;       // run by the first look-up that finds the record
  RecordRoutine finaliser = nullptr;         // run when the record goes
  const char* argKinds = nullptr;            // see kArgInteger; null: every word an integer
  ExportedFilterFactory exported = nullptr;  // a plug-in record's; factory is a built-in's
};

// A loaded plug-in library; count is its number of records minus one.
struct PluginModuleRecord {
  host::HMODULE module = nullptr;
  int32_t count = -1;
};

// What the two registries share: the records in registration order and the loaded libraries.
template <typename Record>
class KeywordRecords {
 public:
  virtual ~KeywordRecords() = default;
  const std::vector<std::unique_ptr<Record>>& Records() const { return records_; }
  const std::vector<std::unique_ptr<PluginModuleRecord>>& Modules() const { return modules_; }
  // Declares how the keyword's words read (kinds is not copied); false for an unknown keyword.
  [[nodiscard]] bool DeclareArgKinds(const char* keyword, const char* kinds) {
    Record* record = FindRecord(keyword);
    if (record) record->argKinds = kinds;
    return record != nullptr;
  }
  // Null for an unknown keyword or one that declares nothing.
  const char* FindArgKinds(const char* keyword) const {
    const Record* record = FindRecord(keyword);
    return record ? record->argKinds : nullptr;
  }

 protected:
  // The first record whose keyword equals keyword byte for byte.
  Record* FindRecord(const char* keyword) const;
  // Removes every record of kind, freeing a library with its last record.
  void RemoveKind(uint8_t kind);
  // Removes every record and frees every library.
  void RemoveAll();
  // The shared steps of LoadPlugin; addRecords appends the library's records.
  template <typename AddRecords>
  [[nodiscard]] int LoadLibraryRecords(std::string_view path, AddRecords addRecords);
  [[nodiscard]] int LoadFolder(std::string_view folder, std::string_view suffix);
  [[nodiscard]] virtual int LoadPluginEntry(std::string_view path) = 0;
  // Runs the record's finaliser (transitions).
  virtual void Finalise(Record&) {}

  std::vector<std::unique_ptr<Record>> records_;
  std::vector<std::unique_ptr<PluginModuleRecord>> modules_;

 private:
  void ReleaseModuleOf(const Record& record);
};

class DcpPluginManager final : public KeywordRecords<EffectRecord> {
 public:
  DcpPluginManager() = default;
  ~DcpPluginManager();
  DcpPluginManager(const DcpPluginManager&) = delete;
  DcpPluginManager& operator=(const DcpPluginManager&) = delete;

  void UnloadKind(uint8_t kind) { RemoveKind(kind); }
  void UnloadAll() { RemoveAll(); }
  [[nodiscard]] int Register(EffectFactory factory, const char* keyword, uint8_t kind,
                             EffectCommand command, EffectArgsCommand argsCommand, uint32_t extra);
  [[nodiscard]] int LoadPlugin(std::string_view path);
  // The number of "*.DCP" files of folder that did not load, or kEffectPluginFolderRefused.
  [[nodiscard]] int LoadPluginFolder(std::string_view folder) { return LoadFolder(folder, ".dcp"); }
  // A built-in record's factory (null for a plug-in's).
  EffectFactory FindFactory(const char* keyword, uint32_t* extra) const;
  std::unique_ptr<DisplayEffect> Create(const char* keyword) const;
  // Creates the effect and runs its argument set-up; a refused set-up releases it (null).
  DisplayEffect* CreateAndSetUp(const char* keyword, ArgList args) const {
    return CreateAndSetUpArray(keyword, args);
  }
  DisplayEffect* CreateAndSetUpArray(const char* keyword, ArgWords args) const;
  EffectCommand FindCommand(const char* keyword) const;
  EffectArgsCommand FindArgsCommand(const char* keyword) const;

 private:
  [[nodiscard]] int LoadPluginEntry(std::string_view path) override { return LoadPlugin(path); }
};

class TcpPluginManager final : public KeywordRecords<TransitionRecord> {
 public:
  TcpPluginManager() = default;
  ~TcpPluginManager();
  TcpPluginManager(const TcpPluginManager&) = delete;
  TcpPluginManager& operator=(const TcpPluginManager&) = delete;

  void UnloadKind(uint8_t kind) { RemoveKind(kind); }
  void UnloadAll() { RemoveAll(); }
  [[nodiscard]] int Register(FilterFactory factory, const char* keyword, uint8_t kind,
                             uint32_t extra, RecordRoutine initialiser, RecordRoutine finaliser);
  [[nodiscard]] int LoadPlugin(std::string_view path);
  [[nodiscard]] int LoadPluginFolder(std::string_view folder) { return LoadFolder(folder, ".tcp"); }
  // Runs the record's initialiser once, on the first look-up that finds it.
  FilterFactory FindFactory(const char* keyword, uint32_t* extra);
  std::unique_ptr<FilterEffect> Create(const char* keyword);
  FilterEffect* CreateAndSetUp(SurfaceLayer* target, const char* keyword, ArgList args) {
    return CreateAndSetUpArray(target, keyword, args);
  }
  FilterEffect* CreateAndSetUpArray(SurfaceLayer* target, const char* keyword, ArgWords args);

 private:
  [[nodiscard]] int LoadPluginEntry(std::string_view path) override { return LoadPlugin(path); }
  void Finalise(TransitionRecord& record) override;
};

// Ends what runs a library's code before the library goes: its effects leave the effects' timer
// service and its filters their layers; the others run on.
void StopPluginUsers(host::HMODULE module);

}  // namespace bw
