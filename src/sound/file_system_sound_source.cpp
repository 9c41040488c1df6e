#include "sound/file_system_sound_source.h"

#include "resource/packs/file_system_manager.h"

namespace bw {

bool FileSystemSoundSource::ResolvePath(const std::string& name, std::string* fullPath) {
  FileSystemManager* manager = TheFileSystemManager::Get();
  if (!manager) return false;
  FileFindData data;
  int found = manager->FindFile(fullPath, name, &data);
  return found == kFindInPack || (found == kFindLoose && !data.folder);
}

Stream* FileSystemSoundSource::OpenStream(const std::string& name) {
  FileSystemManager* manager = TheFileSystemManager::Get();
  if (!manager) return nullptr;
  int error = kFsOk;
  return manager->OpenStream(name, nullptr, &error);
}

}  // namespace bw
