// Where the script engine reads its files and writes its state files. Names are engine paths
// ('\' separators, CP932). The engine's file layer stands behind this in the game; tests may use
// the in-memory source.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "script/guest_memory.h"

namespace bw {

// A file read into guest memory.
struct GuestFile {
  uint32_t address = 0;  // its block; 0 when it did not fit the arena
  uint64_t size = 0;
};

class ScriptFileSource {
 public:
  virtual ~ScriptFileSource() = default;
  // The whole file named name, or false when it does not load.
  [[nodiscard]] virtual bool Load(const std::string& name, std::vector<uint8_t>& out) = 0;
  // Reads the whole file named name into a new guest block with padding zero bytes behind it;
  // false when the file does not load. Sources that can read straight into the block override
  // this; here the file passes through Load.
  [[nodiscard]] virtual bool LoadToGuest(const std::string& name, GuestMemory& memory,
                                         uint32_t padding, GuestFile& out);
  // Replaces the file named name with bytes so that a failure keeps the old file; false on
  // failure.
  [[nodiscard]] virtual bool Save(const std::string& name, std::span<const uint8_t> bytes) = 0;
};

// Files kept in memory; names compare as the engine compares them (ASCII letters case-blind,
// the trail byte of a double-byte character as it is).
class MemoryScriptFileSource : public ScriptFileSource {
 public:
  [[nodiscard]] bool Load(const std::string& name, std::vector<uint8_t>& out) override;
  [[nodiscard]] bool LoadToGuest(const std::string& name, GuestMemory& memory, uint32_t padding,
                                 GuestFile& out) override;
  [[nodiscard]] bool Save(const std::string& name, std::span<const uint8_t> bytes) override;

  void Put(const std::string& name, std::vector<uint8_t> bytes);
  void Remove(const std::string& name);
  const std::vector<uint8_t>* Find(const std::string& name) const;
  // While set, every Save fails and keeps the old content.
  void SetFailSaves(bool fail) { failSaves_ = fail; }

 private:
  std::map<std::string, std::vector<uint8_t>> files_;
  bool failSaves_ = false;
};

// The game's files: loads go through the file-system manager (the application folder, search
// folders and mounted packs); saves resolve against the application folder and replace the disk
// file through a temporary beside it, so a failed write keeps the old file.
class FileSystemScriptFileSource : public ScriptFileSource {
 public:
  [[nodiscard]] bool Load(const std::string& name, std::vector<uint8_t>& out) override;
  [[nodiscard]] bool LoadToGuest(const std::string& name, GuestMemory& memory, uint32_t padding,
                                 GuestFile& out) override;
  [[nodiscard]] bool Save(const std::string& name, std::span<const uint8_t> bytes) override;
};

}  // namespace bw
