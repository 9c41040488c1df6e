// Turns a sound file name into a decoder stream. Decode objects are registered with a type id, a
// type name and the file extensions they take: the built-in Ogg Vorbis decoder and the *.SLL
// plug-in libraries of the game's plugin folder. Published as Global<SllPluginManager>.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/module.h"
#include "sound/sound_decoder.h"

namespace bw {

// Results of LoadPlugin.
constexpr int32_t kSllPluginLoaded = 0;
constexpr int32_t kSllPluginBadPath = 1;
constexpr int32_t kSllPluginNotLoaded = 2;
constexpr int32_t kSllPluginMissingEntry = 3;
constexpr int32_t kSllPluginNoDecodeObject = 4;
constexpr int32_t kSllPluginFailed = 5;
// LoadPluginFolder answers the count loaded, or this.
constexpr int32_t kSllFolderRefused = -1;
// Results of AddDecoder.
constexpr int32_t kSllAdded = 0;
constexpr int32_t kSllNullDecodeObject = 1;

// The entry points of a plug-in library, looked up in this order; all but the last required.
inline constexpr const char* kSllEntryNames[] = {
    "GetSllType",     "GetSllTypeString",   "GetSllSupportExt", "SllAssistFunc",
    "SllAssistFunc2", "GetSllDecodeObject", "SllConfigDlg"};
using GetSllTypeFunc = uint32_t (*)();
using GetSllTextFunc = const char* (*)();
using GetSllDecodeObjectFunc = SllDecodeObject* (*)();

struct SllPluginRecord {
  uint32_t typeId = 0;
  std::string typeName;
  std::vector<std::string> extensions;            // upper case
  std::unique_ptr<SllDecodeObject> decodeObject;  // a plug-in's own too, freed before its library
  host::HMODULE module = nullptr;                 // null for a built-in decoder
  host::FARPROC assist = nullptr;
  host::FARPROC assist2 = nullptr;
  host::FARPROC configDialog = nullptr;  // may be null
};

// A double-NUL-terminated extension list ("OGG\0WAV\0\0") as upper-case texts; at most maxBytes
// are read when the list is not terminated.
std::vector<std::string> ParseExtensionList(const char* list, size_t maxBytes = 4096);

class SllPluginManager {
 public:
  SllPluginManager() = default;
  virtual ~SllPluginManager();
  SllPluginManager(const SllPluginManager&) = delete;
  SllPluginManager& operator=(const SllPluginManager&) = delete;

  virtual void RemoveByType(uint32_t typeId);
  virtual void UnloadAll();
  // Takes the decode object; extensions as a double-NUL-terminated list.
  [[nodiscard]] virtual int32_t AddDecoder(std::unique_ptr<SllDecodeObject> decodeObject,
                                           const char* extensions, const char* typeName,
                                           uint32_t typeId, host::FARPROC assist = nullptr,
                                           host::FARPROC assist2 = nullptr,
                                           host::FARPROC configDialog = nullptr);
  // An engine path, relative ones taken from the application folder.
  [[nodiscard]] virtual int32_t LoadPlugin(const std::string& path);
  // Loads every *.SLL file of the folder (an engine path; any letter case), in name order;
  // answers how many loaded, kSllFolderRefused when the folder cannot be made absolute.
  [[nodiscard]] virtual int32_t LoadPluginFolder(const std::string& folder);
  virtual SllDecodeObject* FindByExtension(const std::string& fileName) const;
  virtual SllDecodeObject* FindByType(uint32_t typeId) const;
  // A decoder for the named file (through Global<SoundFileSource>) or for the given file. With
  // streamed clear, or the load-whole flag set, the file is read whole into memory first. When
  // no decode object takes the file, the error is the first code one of them reported, else
  // kSllNotAccepted.
  virtual SoundDecoderStream* Open(const char* fileName, Stream* file, bool streamed,
                                   int32_t* outError);

  void SetLoadWhole(bool loadWhole) { loadWhole_ = loadWhole; }
  bool LoadsWhole() const { return loadWhole_; }
  const std::vector<std::unique_ptr<SllPluginRecord>>& Records() const { return records_; }
  // The record of a type, or null.
  SllPluginRecord* RecordOfType(uint32_t typeId) const;

  // Values the main script stores (two settings and a selected type, -1 none); no decoder reads
  // them.
  void SetScriptSetting(int index, int32_t value) { scriptSettings_[index & 1] = value; }
  int32_t ScriptSetting(int index) const { return scriptSettings_[index & 1]; }
  void SelectType(int32_t typeId) { selectedType_ = typeId; }
  void ResetSelection() { selectedType_ = -1; }
  int32_t SelectedType() const { return selectedType_; }

 private:
  static void Destroy(SllPluginRecord& record);

  std::vector<std::unique_ptr<SllPluginRecord>> records_;  // in registration order
  bool loadWhole_ = false;
  int32_t scriptSettings_[2] = {};
  int32_t selectedType_ = -1;
};

// The same as the manager's LoadPlugin.
[[nodiscard]] int32_t LoadSllPlugin(SllPluginManager& manager, const std::string& path);

}  // namespace bw
