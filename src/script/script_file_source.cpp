#include "script/script_file_source.h"

#include <fstream>
#include <iterator>

#include "common/atomic_file.h"

namespace bw {

std::string UpperCaseCp932(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    uint8_t c = static_cast<uint8_t>(out[i]);
    if (IsCp932LeadByte(c)) {
      ++i;  // the trail byte is never a letter
    } else if (c >= 'a' && c <= 'z') {
      out[i] = static_cast<char>(c - 'a' + 'A');
    }
  }
  return out;
}

bool MemoryScriptFileSource::Load(const std::string& name, std::vector<uint8_t>& out) {
  const std::vector<uint8_t>* f = Find(name);
  if (!f) return false;
  out = *f;
  return true;
}

bool MemoryScriptFileSource::Save(const std::string& name, std::span<const uint8_t> bytes) {
  if (failSaves_) return false;
  files_[UpperCaseCp932(name)].assign(bytes.begin(), bytes.end());
  return true;
}

void MemoryScriptFileSource::Put(const std::string& name, std::vector<uint8_t> bytes) {
  files_[UpperCaseCp932(name)] = std::move(bytes);
}

void MemoryScriptFileSource::Remove(const std::string& name) { files_.erase(UpperCaseCp932(name)); }

const std::vector<uint8_t>* MemoryScriptFileSource::Find(const std::string& name) const {
  auto it = files_.find(UpperCaseCp932(name));
  return it == files_.end() ? nullptr : &it->second;
}

std::filesystem::path FolderScriptFileSource::HostPath(const std::string& name) const {
  std::string relative = name;
  for (size_t i = 0; i < relative.size(); ++i) {
    uint8_t c = static_cast<uint8_t>(relative[i]);
    if (IsCp932LeadByte(c)) {
      ++i;  // a trail byte 0x5C is part of its character, not a separator
    } else if (c == '\\') {
      relative[i] = '/';
    }
  }
  return root_ / relative;
}

bool FolderScriptFileSource::Load(const std::string& name, std::vector<uint8_t>& out) {
  std::ifstream in(HostPath(name), std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool FolderScriptFileSource::Save(const std::string& name, std::span<const uint8_t> bytes) {
  return !WriteFileAtomically(HostPath(name), bytes);
}

}  // namespace bw
