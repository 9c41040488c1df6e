#include "resource/images/image_loader_manager.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "common/atomic_file.h"
#include "common/sjis.h"
#include "host/cp932.h"
#include "host/module.h"
#include "platform/app_paths.h"
#include "resource/files/file.h"
#include "resource/packs/file_system_manager.h"
#include "resource/plugin_folder.h"

namespace bw {
namespace {

// A NUL-separated list ended by an empty entry, copied whole.
std::string CopyExtensionList(const char* list) {
  std::string copy;
  for (const char* e = list; e && *e; e += std::strlen(e) + 1) {
    copy += e;
    copy += '\0';
  }
  return copy;
}

bool HasExtension(const std::string& list, const std::string& extension) {
  for (size_t at = 0; at < list.size(); at = list.find('\0', at) + 1) {
    if (list.compare(at, list.find('\0', at) - at, extension) == 0) return true;
  }
  return false;
}

void Fail(const ImageTarget& target) {
  if (target.release) target.release();
}

void Place(ImageLoader& loader, ImagePlacement* placement) {
  if (!placement) return;
  placement->offsetX = loader.GetOffsetX();
  placement->offsetY = loader.GetOffsetY();
  placement->palette = loader.GetPalette(true);
}

}  // namespace

// A picture the game asked for that is not to be had, said once per name on standard error: the
// log a player or the game's maker reads when a picture does not show.
void ImageLoaderManager::ReportUnloadedPicture(std::string_view name, uint32_t fileCode) {
  const std::string why = fileCode == kFileOk ? "none of the picture loaders reads it"
                          : fileCode == kFsNotFound
                              ? "not found in the game's folder or its packs"
                              : "it cannot be read (code " + std::to_string(fileCode) + ")";
  std::lock_guard hold(reportedLock_);
  if (!reported_.insert(sjis::ToLower(name)).second) return;
  std::fprintf(stderr, "brimwold: picture %s: %s\n", host::Cp932ToUtf8Lenient(name).c_str(),
               why.c_str());
}

ImageLoaderManager::~ImageLoaderManager() {
  cache_.Clear();
  RemoveAllLoaders();
}

void ImageLoaderManager::Destroy(ImageLoaderRecord& record) {
  // The loader's code lives in the module: it goes first.
  record.loader.reset();
  // A module the loader will not close stays mapped: nothing more can be done.
  if (record.module) (void)host::FreeLibrary(record.module);
  record.module = nullptr;
}

void ImageLoaderManager::RemoveLoader(uint32_t typeId) {
  std::erase_if(records_, [&](std::unique_ptr<ImageLoaderRecord>& record) {
    if (record->typeId != typeId) return false;
    Destroy(*record);
    return true;
  });
}

void ImageLoaderManager::RemoveAllLoaders() {
  for (auto& record : records_) Destroy(*record);
  records_.clear();
}

int ImageLoaderManager::AddLoader(std::unique_ptr<ImageLoader> loader, const char* extensions,
                                  const char* typeString, uint32_t typeId, GllAssistFunc assist,
                                  GllAssistFunc2 assist2, GllConfigDlg configDialog) {
  return AddPluginLoader(std::move(loader), extensions, typeString, typeId, nullptr, assist,
                         assist2, configDialog);
}

int ImageLoaderManager::AddPluginLoader(std::unique_ptr<ImageLoader> loader, const char* extensions,
                                        const char* typeString, uint32_t typeId, void* module,
                                        GllAssistFunc assist, GllAssistFunc2 assist2,
                                        GllConfigDlg configDialog) {
  if (!loader) return kLoaderNull;
  auto record = std::make_unique<ImageLoaderRecord>();
  record->typeId = typeId;
  record->typeString = typeString ? typeString : "";
  record->extensions = CopyExtensionList(extensions);
  record->loader = std::move(loader);
  record->module = module;
  record->assist = assist;
  record->assist2 = assist2;
  record->configDialog = configDialog;
  records_.push_back(std::move(record));
  return 0;
}

int ImageLoaderManager::LoadLoaderPlugin(std::string_view path) {
  host::HMODULE module;
  if (int rc = LoadPluginLibrary(path, &module)) {
    return rc == kPluginLibraryBadPath ? kGllPluginBadPath : kGllPluginLoadFailed;
  }

  auto entry = [&](const char* name) { return host::GetProcAddress(module, name); };
  auto getType = reinterpret_cast<uint32_t (*)()>(entry("GetGllType"));
  auto getTypeString = reinterpret_cast<const char* (*)()>(entry("GetGllTypeString"));
  auto getExtensions = reinterpret_cast<const char* (*)()>(entry("GetGllSupportExt"));
  auto assist = reinterpret_cast<GllAssistFunc>(entry("GllAssistFunc"));
  auto assist2 = reinterpret_cast<GllAssistFunc2>(entry("GllAssistFunc2"));
  auto getLoadObject = reinterpret_cast<ImageLoader* (*)()>(entry("GetGllLoadObject"));
  auto configDialog = reinterpret_cast<GllConfigDlg>(entry("GllConfigDlg"));
  if (!getType || !getTypeString || !getExtensions || !assist || !assist2 || !getLoadObject) {
    // The failure told is the missing entry.
    (void)host::FreeLibrary(module);
    return kGllPluginEntryMissing;
  }
  uint32_t typeId = getType();
  const char* typeString = getTypeString();
  const char* extensions = getExtensions();
  // The library's exported routine hands over the loader it made.
  std::unique_ptr<ImageLoader> loader(getLoadObject());
  if (!loader) {
    // The failure told is the missing loader.
    (void)host::FreeLibrary(module);
    return kGllPluginNoLoadObject;
  }
  return AddPluginLoader(std::move(loader), extensions, typeString, typeId, module, assist, assist2,
                         configDialog);
}

int ImageLoaderManager::ScanLoaderPlugins(std::string_view folder) {
  std::vector<std::string> paths;
  if (!ListPluginFiles(folder, kGllPattern, paths)) return -1;
  int failed = 0;
  for (const std::string& path : paths) {
    if (LoadLoaderPlugin(path) != 0) ++failed;
  }
  return failed;
}

ImageLoader* ImageLoaderManager::FindLoaderByContent(std::span<const uint8_t> data,
                                                     const char* name) {
  for (auto& record : records_) {
    if (record->loader->IsSupported(data, name)) return record->loader.get();
  }
  return nullptr;
}

ImageLoader* ImageLoaderManager::FindLoaderByExtension(std::string_view name, bool forSaving) {
  std::string extension = sjis::ToUpper(GetPathExtension(name));
  if (extension.empty()) return nullptr;
  for (auto& record : records_) {
    if (forSaving && !record->loader->CanSave()) continue;
    if (HasExtension(record->extensions, extension)) return record->loader.get();
  }
  return nullptr;
}

ImageLoader* ImageLoaderManager::FindLoaderByType(uint32_t typeId) {
  for (auto& record : records_) {
    if (record->typeId == typeId) return record->loader.get();
  }
  return nullptr;
}

GllAssistFunc2 ImageLoaderManager::GetLoaderAssistFunc2(uint32_t typeId) const {
  for (const auto& record : records_) {
    if (record->typeId == typeId) return record->assist2;
  }
  return nullptr;
}

int ImageLoaderManager::LoadFromMemory(std::span<const uint8_t> data, const ImageTarget& target,
                                       ImagePlacement* placement) {
  return LoadByContent(data, {}, target, placement);
}

int ImageLoaderManager::LoadByContent(std::span<const uint8_t> data, const std::string& key,
                                      const ImageTarget& target, ImagePlacement* placement) {
  int result = kGllFailed;
  ImageLoader* loader = FindLoaderByContent(data, nullptr);
  if (!loader) {
    Fail(target);
  } else {
    (void)LoadWith(*loader, data, key, target, placement, &result);  // a failure keeps kGllFailed
  }
  return result;
}

bool ImageLoaderManager::LoadWith(ImageLoader& loader, std::span<const uint8_t> data,
                                  const std::string& key, const ImageTarget& target,
                                  ImagePlacement* placement, int* result) {
  int rc = loader.Load(data, target.destination, target.eightBit, {});
  if (rc == kGllDone) {
    Place(loader, placement);
    *result = kGllDone;
    return true;
  }
  if (rc == kGllCannotLoadInto) {
    *result = LoadIntoDestination(data, &loader, key, target, placement);
    return true;
  }
  Fail(target);
  return false;
}

int ImageLoaderManager::LoadFromFile(std::string_view name, const ImageTarget& target,
                                     ImagePlacement* placement) {
  File file;
  if (uint32_t code = file.Load(std::string(name).c_str()); code != kFileOk) {
    ReportUnloadedPicture(name, code);
    return kGllFileUnreadable;
  }
  std::span<const uint8_t> data(static_cast<const uint8_t*>(file.GetData()), file.GetSize());
  const std::string key = sjis::ToLower(file.GetPath());
  // A name whose extension lies about its content still gets the loaders by content.
  int result = kGllFailed;
  ImageLoader* loader = FindLoaderByExtension(name, false);
  if (loader && LoadWith(*loader, data, key, target, placement, &result)) return result;
  result = LoadByContent(data, key, target, placement);
  if (result == kGllFailed) ReportUnloadedPicture(name, kFileOk);
  return result;
}

int ImageLoaderManager::LoadIntoDestination(std::span<const uint8_t> data, ImageLoader* loader,
                                            const std::string& key, const ImageTarget& target,
                                            ImagePlacement* placement) {
  DecodedImage* image = DecodeFromMemory(data, loader);
  if (!image) {
    Fail(target);
    return kGllFailed;
  }
  Cache(image, key);
  int rc = WriteDibToDestination(image->GetPicture(), target.destination, target.eightBit);
  if (rc == kGllDone && placement) {
    placement->offsetX = image->GetOffsetX();
    placement->offsetY = image->GetOffsetY();
    placement->palette = image->GetPalette(false);
  }
  image->Release();
  if (rc != kGllDone) Fail(target);
  return rc;
}

DecodedImage* ImageLoaderManager::DecodeFromMemory(std::span<const uint8_t> data,
                                                   ImageLoader* loader) {
  if (!loader) loader = FindLoaderByContent(data, nullptr);
  if (!loader) return nullptr;
  DecodedImageRef image;
  if (loader->LoadToBuffers(data, {}) == kGllDone) {
    uint32_t byteSize = loader->GetByteSize();
    image = MakeRef<DecodedImage>(loader->TakePicture(), byteSize);
    if (image) image->SetPalette(loader->GetPalette(true));
  }
  loader->FreeBuffers();
  return image.release();
}

void ImageLoaderManager::Cache(DecodedImage* image, const std::string& key) {
  // One the cache cannot keep is decoded again when next asked for.
  if (cache_.IsOn() && !key.empty()) (void)cache_.Insert(image, key);
}

std::string ImageLoaderManager::CacheKey(std::string_view name) {
  FileSystemManager* files = TheFileSystemManager::Get();
  std::string path;
  if (!files || files->FindFile(&path, name, nullptr) > 0) return {};
  return sjis::ToLower(path);
}

DecodedImage* ImageLoaderManager::FindCachedImage(std::string_view name) {
  if (!cache_.IsOn()) return nullptr;
  std::string key = CacheKey(name);
  return key.empty() ? nullptr : cache_.Find(key);
}

DecodedImage* ImageLoaderManager::LoadImage(std::string_view name, bool useCache) {
  if (DecodedImage* cached = FindCachedImage(name)) return cached;
  File file;
  if (uint32_t code = file.Load(std::string(name).c_str()); code != kFileOk) {
    ReportUnloadedPicture(name, code);
    return nullptr;
  }
  std::span<const uint8_t> data(static_cast<const uint8_t*>(file.GetData()), file.GetSize());
  DecodedImage* image = nullptr;
  if (ImageLoader* loader = FindLoaderByExtension(name, false))
    image = DecodeFromMemory(data, loader);
  if (!image) image = DecodeFromMemory(data, nullptr);
  if (!image) ReportUnloadedPicture(name, kFileOk);
  if (image && useCache) Cache(image, sjis::ToLower(file.GetPath()));
  return image;
}

int ImageLoaderManager::ReleaseImage(std::string_view name) {
  if (!cache_.IsOn()) return kReleaseCacheOff;
  std::string key = CacheKey(name);
  if (key.empty() || cache_.Remove(key) != kCacheRemoved) return kReleaseNotCached;
  return kReleaseDone;
}

int ImageLoaderManager::SaveImage(std::string_view name, const ImageSaveSource& source,
                                  uint32_t typeId) {
  ImageLoader* loader = typeId ? FindLoaderByType(typeId) : FindLoaderByExtension(name, true);
  if (!loader) return kSaveNoLoader;
  std::string enginePath, linuxPath;
  if (ResolveDiskPath(std::string(name).c_str(), enginePath, linuxPath) != kFileOk) {
    return kGllFileUnreadable;
  }
  AtomicFileWriter writer;
  if (!writer.Open(std::filesystem::path(linuxPath))) return kGllFileUnreadable;
  int rc = loader->Save(
      source, [&](const void* bytes, size_t size) { return writer.Write(bytes, size); }, {});
  if (rc != kGllDone) return rc;
  return writer.Commit() ? kGllDone : kGllFileUnreadable;
}

void ImageLoaderManager::SetCacheBudget(int64_t megabytes) {
  cache_.SetBudget(ComputeCacheBudget(megabytes, GetPhysicalMemoryBytes()));
}

}  // namespace bw
