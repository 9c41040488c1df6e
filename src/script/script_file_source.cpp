#include "script/script_file_source.h"

#include <cstring>

#include "common/atomic_file.h"
#include "common/sjis.h"
#include "resource/files/file.h"

namespace bw {

namespace {

// Copies bytes into a new guest block with padding zero bytes behind it.
GuestFile CopyToGuest(std::span<const uint8_t> bytes, GuestMemory& memory, uint32_t padding) {
  GuestFile f{0, bytes.size()};
  if (f.size + padding > GuestMemory::kMaxArena) return f;
  const auto size = static_cast<uint32_t>(f.size);
  f.address = memory.AllocateToFill(size + padding, size);
  if (f.address && size) std::memcpy(memory.View(f.address, size).data(), bytes.data(), size);
  return f;
}

}  // namespace

bool ScriptFileSource::LoadToGuest(const std::string& name, GuestMemory& memory, uint32_t padding,
                                   GuestFile& out) {
  std::vector<uint8_t> bytes;
  if (!Load(name, bytes)) return false;
  out = CopyToGuest(bytes, memory, padding);
  return true;
}

bool MemoryScriptFileSource::Load(const std::string& name, std::vector<uint8_t>& out) {
  const std::vector<uint8_t>* f = Find(name);
  if (!f) return false;
  out = *f;
  return true;
}

bool MemoryScriptFileSource::LoadToGuest(const std::string& name, GuestMemory& memory,
                                         uint32_t padding, GuestFile& out) {
  const std::vector<uint8_t>* f = Find(name);
  if (!f) return false;
  out = CopyToGuest(*f, memory, padding);
  return true;
}

bool MemoryScriptFileSource::Save(const std::string& name, std::span<const uint8_t> bytes) {
  if (failSaves_) return false;
  files_[sjis::ToUpper(name)].assign(bytes.begin(), bytes.end());
  return true;
}

void MemoryScriptFileSource::Put(const std::string& name, std::vector<uint8_t> bytes) {
  files_[sjis::ToUpper(name)] = std::move(bytes);
}

void MemoryScriptFileSource::Remove(const std::string& name) {
  files_.erase(sjis::ToUpper(name));
}

const std::vector<uint8_t>* MemoryScriptFileSource::Find(const std::string& name) const {
  auto it = files_.find(sjis::ToUpper(name));
  return it == files_.end() ? nullptr : &it->second;
}

bool FileSystemScriptFileSource::Load(const std::string& name, std::vector<uint8_t>& out) {
  File file;
  if (file.Load(name.c_str()) != kFileOk) return false;
  const auto* data = static_cast<const uint8_t*>(file.GetData());
  out.assign(data, data + file.GetSize());
  return true;
}

bool FileSystemScriptFileSource::LoadToGuest(const std::string& name, GuestMemory& memory,
                                             uint32_t padding, GuestFile& out) {
  File file;
  if (file.Load(name.c_str()) != kFileOk) return false;
  out = CopyToGuest({static_cast<const uint8_t*>(file.GetData()), file.GetSize()}, memory, padding);
  return true;
}

bool FileSystemScriptFileSource::Save(const std::string& name, std::span<const uint8_t> bytes) {
  std::string enginePath;
  std::string linuxPath;
  if (ResolveDiskPath(name.c_str(), enginePath, linuxPath) != kFileOk) return false;
  return WriteFileAtomically(linuxPath, bytes);
}

}  // namespace bw
