#include "effects/effect_registries.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "common/global.h"
#include "graphics/device/display_manager.h"
#include "platform/timer_service.h"
#include "resource/plugin_folder.h"

namespace bw {

namespace {

using GetObjectNumFunc = uint32_t (*)();
using GetObjectNameFunc = const char* (*)(uint32_t);
using GetObjectTypeFunc = uint32_t (*)(uint32_t);

constexpr const char* kRequiredExports[] = {"GetObjectNum", "GetObject", "GetObjectName",
                                            "GetObjectType"};

struct PluginExports {
  host::HMODULE module = nullptr;
  GetObjectNumFunc count = nullptr;
  host::FARPROC object = nullptr;
  GetObjectNameFunc name = nullptr;
  GetObjectTypeFunc type = nullptr;
};

bool SameKeyword(const char* a, const char* b) {
  return a && b && std::strcmp(a, b) == 0;
}

}  // namespace

void StopPluginUsers(host::HMODULE module) {
  if (TimerService* timers = Global<TimerService>::Get()) {
    timers->ClearWhere([module](const TimedTask& task) {
      const auto* effect = dynamic_cast<const DisplayEffect*>(&task);
      return effect != nullptr && effect->Module() == module;
    });
  }
  if (DisplayManager* display = Global<DisplayManager>::Get()) {
    display->DetachFiltersWhere([module](const LayerFilter& filter) {
      const auto* effect = dynamic_cast<const FilterEffect*>(&filter);
      return effect != nullptr && effect->Module() == module;
    });
  }
}

template <typename Record>
Record* KeywordRecords<Record>::FindRecord(const char* keyword) const {
  if (keyword == nullptr) return nullptr;
  for (const std::unique_ptr<Record>& record : records_) {
    if (SameKeyword(record->keyword, keyword)) return record.get();
  }
  return nullptr;
}

template <typename Record>
void KeywordRecords<Record>::ReleaseModuleOf(const Record& record) {
  if (record.module == nullptr) return;
  auto it = std::find_if(modules_.begin(), modules_.end(),
                         [&](const auto& m) { return m->module == record.module; });
  if (it == modules_.end()) return;
  if ((*it)->count > 0) {
    --(*it)->count;
    return;
  }
  StopPluginUsers((*it)->module);
  // A module the loader will not close stays mapped: nothing more can be done.
  (void)host::FreeLibrary((*it)->module);
  modules_.erase(it);
}

template <typename Record>
void KeywordRecords<Record>::RemoveKind(uint8_t kind) {
  for (size_t i = 0; i < records_.size();) {
    Record& record = *records_[i];
    if (record.kind != kind) {
      ++i;
      continue;
    }
    ReleaseModuleOf(record);
    Finalise(record);
    records_.erase(records_.begin() + static_cast<ptrdiff_t>(i));
  }
}

template <typename Record>
void KeywordRecords<Record>::RemoveAll() {
  for (const std::unique_ptr<Record>& record : records_) Finalise(*record);
  records_.clear();
  for (const std::unique_ptr<PluginModuleRecord>& m : modules_) {
    StopPluginUsers(m->module);
    // A module the loader will not close stays mapped: nothing more can be done.
    (void)host::FreeLibrary(m->module);
  }
  modules_.clear();
}

template <typename Record>
template <typename AddRecords>
int KeywordRecords<Record>::LoadLibraryRecords(std::string_view path, AddRecords addRecords) {
  PluginExports exports;
  if (int rc = LoadPluginLibrary(path, &exports.module); rc != kPluginLibraryLoaded) {
    return rc == kPluginLibraryBadPath ? kEffectPluginBadPath : kEffectPluginNotLoaded;
  }
  host::FARPROC found[4];
  for (size_t i = 0; i < 4; ++i) {
    found[i] = host::GetProcAddress(exports.module, kRequiredExports[i]);
    if (found[i] == nullptr) {
      // The failure told is the missing export.
      (void)host::FreeLibrary(exports.module);
      return kEffectPluginMissingExport;
    }
  }
  exports.count = reinterpret_cast<GetObjectNumFunc>(found[0]);
  exports.object = found[1];
  exports.name = reinterpret_cast<GetObjectNameFunc>(found[2]);
  exports.type = reinterpret_cast<GetObjectTypeFunc>(found[3]);
  try {
    auto module = std::make_unique<PluginModuleRecord>();
    module->module = exports.module;
    const uint32_t objects = exports.count();
    for (uint32_t i = 0; i < objects; ++i) {
      const char* keyword = exports.name(i);
      if (keyword == nullptr) throw kEffectPluginFailed;
      addRecords(exports.module, exports.object, keyword, static_cast<uint8_t>(exports.type(i)), i);
      ++module->count;
    }
    modules_.push_back(std::move(module));
    return kEffectPluginLoaded;
  } catch (...) {
    // Records already appended would point into the freed library.
    std::erase_if(records_, [&](const auto& r) { return r->module == exports.module; });
    // The failure told is the plug-in's.
    (void)host::FreeLibrary(exports.module);
    return kEffectPluginFailed;
  }
}

template <typename Record>
int KeywordRecords<Record>::LoadFolder(std::string_view folder, std::string_view suffix) {
  std::vector<std::string> paths;
  if (!ListPluginFiles(folder, suffix, paths)) return kEffectPluginFolderRefused;
  int failed = 0;
  for (const std::string& path : paths) {
    if (path.empty() || LoadPluginEntry(path) != kEffectPluginLoaded) ++failed;
  }
  return failed;
}

template class KeywordRecords<EffectRecord>;
template class KeywordRecords<TransitionRecord>;

DcpPluginManager::~DcpPluginManager() {
  UnloadAll();
}

int DcpPluginManager::Register(EffectFactory factory, const char* keyword, uint8_t kind,
                               EffectCommand command, EffectArgsCommand argsCommand,
                               uint32_t extra) {
  if (factory == nullptr || keyword == nullptr) return kRegisterIncomplete;
  records_.push_back(std::make_unique<EffectRecord>(
      EffectRecord{kind, keyword, factory, command, argsCommand, nullptr, extra}));
  return kRegistered;
}

int DcpPluginManager::LoadPlugin(std::string_view path) {
  EffectCommand command = nullptr;
  EffectArgsCommand argsCommand = nullptr;
  return LoadLibraryRecords(path, [&](host::HMODULE module, host::FARPROC object,
                                      const char* keyword, uint8_t kind, uint32_t index) {
    if (index == 0) {
      command = reinterpret_cast<EffectCommand>(host::GetProcAddress(module, "CallbackAssistFunc"));
      argsCommand =
          reinterpret_cast<EffectArgsCommand>(host::GetProcAddress(module, "CallbackAssistFunc2"));
    }
    records_.push_back(std::make_unique<EffectRecord>(
        EffectRecord{kind, keyword, nullptr, command, argsCommand, module, index, nullptr,
                     reinterpret_cast<ExportedEffectFactory>(object)}));
  });
}

EffectFactory DcpPluginManager::FindFactory(const char* keyword, uint32_t* extra) const {
  const EffectRecord* record = FindRecord(keyword);
  if (record == nullptr) return nullptr;
  if (extra) *extra = record->extra;
  return record->factory;
}

std::unique_ptr<DisplayEffect> DcpPluginManager::Create(const char* keyword) const {
  const EffectRecord* record = FindRecord(keyword);
  if (record == nullptr) return nullptr;
  std::unique_ptr<DisplayEffect> effect =
      record->factory ? record->factory(record->extra)
                      : std::unique_ptr<DisplayEffect>(record->exported(record->extra));
  if (effect) effect->SetModule(record->module);
  return effect;
}

DisplayEffect* DcpPluginManager::CreateAndSetUpArray(const char* keyword, ArgWords args) const {
  std::unique_ptr<DisplayEffect> effect = Create(keyword);
  if (effect == nullptr) return nullptr;
  if (effect->Init(args) == 0) return effect.release();  // the caller's from here
  ReleaseEffect(effect.release());
  return nullptr;
}

EffectCommand DcpPluginManager::FindCommand(const char* keyword) const {
  const EffectRecord* record = FindRecord(keyword);
  return record ? record->command : nullptr;
}

EffectArgsCommand DcpPluginManager::FindArgsCommand(const char* keyword) const {
  const EffectRecord* record = FindRecord(keyword);
  return record ? record->argsCommand : nullptr;
}

TcpPluginManager::~TcpPluginManager() {
  UnloadAll();
}

int TcpPluginManager::Register(FilterFactory factory, const char* keyword, uint8_t kind,
                               uint32_t extra, RecordRoutine initialiser, RecordRoutine finaliser) {
  if (factory == nullptr || keyword == nullptr) return kRegisterIncomplete;
  records_.push_back(std::make_unique<TransitionRecord>(
      TransitionRecord{kind, false, keyword, factory, nullptr, extra, initialiser, finaliser}));
  return kRegistered;
}

int TcpPluginManager::LoadPlugin(std::string_view path) {
  return LoadLibraryRecords(path, [&](host::HMODULE module, host::FARPROC object,
                                      const char* keyword, uint8_t kind, uint32_t index) {
    records_.push_back(std::make_unique<TransitionRecord>(
        TransitionRecord{kind, false, keyword, nullptr, module, index, nullptr, nullptr, nullptr,
                         reinterpret_cast<ExportedFilterFactory>(object)}));
  });
}

FilterFactory TcpPluginManager::FindFactory(const char* keyword, uint32_t* extra) {
  TransitionRecord* record = FindRecord(keyword);
  if (record == nullptr) return nullptr;
  if (record->initialiser && !record->initialised) {
    record->initialiser();
    record->initialised = true;
  }
  if (extra) *extra = record->extra;
  return record->factory;
}

std::unique_ptr<FilterEffect> TcpPluginManager::Create(const char* keyword) {
  uint32_t extra = 0;
  FilterFactory factory = FindFactory(keyword, &extra);  // runs the record's initialiser
  const TransitionRecord* record = FindRecord(keyword);
  if (record == nullptr) return nullptr;
  std::unique_ptr<FilterEffect> filter =
      factory ? factory(extra)
              : std::unique_ptr<FilterEffect>(record->exported ? record->exported(extra) : nullptr);
  if (filter) filter->SetModule(record->module);
  return filter;
}

FilterEffect* TcpPluginManager::CreateAndSetUpArray(SurfaceLayer* target, const char* keyword,
                                                    ArgWords args) {
  std::unique_ptr<FilterEffect> made = Create(keyword);
  if (made == nullptr) return nullptr;
  // The holder it is attached to owns it from here.
  FilterEffect* filter = made.release();
  if (filter->SetUp(target, args) == 0) return filter;
  ReleaseFilter(filter);
  return nullptr;
}

void TcpPluginManager::Finalise(TransitionRecord& record) {
  if (record.finaliser) record.finaliser();
}

}  // namespace bw
