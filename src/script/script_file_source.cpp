#include "script/script_file_source.h"

#include "common/atomic_file.h"
#include "common/sjis.h"
#include "resource/files/file.h"

namespace bw {

bool MemoryScriptFileSource::Load(const std::string& name, std::vector<uint8_t>& out) {
  const std::vector<uint8_t>* f = Find(name);
  if (!f) return false;
  out = *f;
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

void MemoryScriptFileSource::Remove(const std::string& name) { files_.erase(sjis::ToUpper(name)); }

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

bool FileSystemScriptFileSource::Save(const std::string& name, std::span<const uint8_t> bytes) {
  std::string enginePath;
  std::string linuxPath;
  if (ResolveDiskPath(name.c_str(), enginePath, linuxPath) != kFileOk) return false;
  return !WriteFileAtomically(linuxPath, bytes);
}

}  // namespace bw
