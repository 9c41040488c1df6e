// The one way pictures reach the engine: a list of image loaders (built in, *.GLL plug-ins and
// Susie image plug-ins), chosen by a name's extension, by the bytes or by type id, and the cache
// of decoded pictures. Names resolve through the file-system manager; cache keys are the
// resolved paths, lower-cased.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/global.h"
#include "resource/images/decoded_image.h"
#include "resource/images/image_cache.h"
#include "resource/images/image_loader.h"

namespace bw {

// AddLoader.
constexpr int kLoaderNull = 1;
// LoadLoaderPlugin.
constexpr int kGllPluginBadPath = 1;
constexpr int kGllPluginLoadFailed = 2;
constexpr int kGllPluginEntryMissing = 3;
constexpr int kGllPluginNoLoadObject = 4;
// SaveImage.
constexpr int kSaveNoLoader = 1;
// ReleaseImage.
constexpr int kReleaseDone = 0;
constexpr int kReleaseCacheOff = 1;
constexpr int kReleaseNotCached = 2;

constexpr const char kGllPattern[] = ".gll";

// Kept per loader, built in or plug-in. The strings are copies: a plug-in's own go with it.
struct ImageLoaderRecord {
  uint32_t typeId = 0;
  std::string typeString;
  // Upper-case extensions without dot, each NUL-terminated, the list ended by an empty one.
  std::string extensions;
  std::unique_ptr<ImageLoader> loader;
  void* module = nullptr;  // null for a built-in loader
  GllAssistFunc assist = nullptr;
  GllAssistFunc2 assist2 = nullptr;
  GllConfigDlg configDialog = nullptr;
};

class ImageLoaderManager {
 public:
  ImageLoaderManager() = default;
  // Deletes every loader, then frees the plug-in modules; empties the cache.
  virtual ~ImageLoaderManager();
  ImageLoaderManager(const ImageLoaderManager&) = delete;
  ImageLoaderManager& operator=(const ImageLoaderManager&) = delete;

  virtual void RemoveLoader(uint32_t typeId);
  virtual void RemoveAllLoaders();
  // Takes the loader (the manager deletes it). extensions: a list as in ImageLoaderRecord.
  [[nodiscard]] virtual int AddLoader(std::unique_ptr<ImageLoader> loader, const char* extensions,
                                      const char* typeString, uint32_t typeId, GllAssistFunc assist,
                                      GllAssistFunc2 assist2, GllConfigDlg configDialog);
  // Adds a loader whose code lives in module; the record frees the module after the loader.
  [[nodiscard]] int AddPluginLoader(std::unique_ptr<ImageLoader> loader, const char* extensions,
                                    const char* typeString, uint32_t typeId, void* module,
                                    GllAssistFunc assist, GllAssistFunc2 assist2,
                                    GllConfigDlg configDialog);
  [[nodiscard]] virtual int LoadLoaderPlugin(std::string_view path);
  // The number of *.GLL files of the folder that failed to load; -1 when the folder path cannot
  // be built.
  [[nodiscard]] virtual int ScanLoaderPlugins(std::string_view folder);

  virtual ImageLoader* FindLoaderByContent(std::span<const uint8_t> data, const char* name);
  // By the upper-cased extension; forSaving passes over loaders that cannot save.
  virtual ImageLoader* FindLoaderByExtension(std::string_view name, bool forSaving);
  virtual ImageLoader* FindLoaderByType(uint32_t typeId);

  // 0, or on failure (after the target's release) kGllFailed or the conversion's code.
  [[nodiscard]] virtual int LoadFromMemory(std::span<const uint8_t> data, const ImageTarget& target,
                                           ImagePlacement* placement);
  // kGllFileUnreadable when the file cannot be read; the extension's loader is tried first,
  // then the loaders by content.
  [[nodiscard]] virtual int LoadFromFile(std::string_view name, const ImageTarget& target,
                                         ImagePlacement* placement);
  // A new picture (count 0) from the loader given or the first that knows the bytes; null when
  // none decodes them.
  virtual DecodedImage* DecodeFromMemory(std::span<const uint8_t> data, ImageLoader* loader);
  // The picture with a reference for the caller, from the cache when it holds it; with useCache
  // a picture just decoded is cached too. Null when the name cannot be read or decoded.
  virtual DecodedImage* LoadImage(std::string_view name, bool useCache);
  // 0, kSaveNoLoader, kGllFileUnreadable, or the loader's error. The loader is the one of
  // typeId, or with 0 the extension's. A failed save leaves any earlier file as it was.
  [[nodiscard]] virtual int SaveImage(std::string_view name, const ImageSaveSource& source,
                                      uint32_t typeId);

  GllAssistFunc2 GetLoaderAssistFunc2(uint32_t typeId) const;
  // Drops the cache's entry of the name, never loading it.
  [[nodiscard]] int ReleaseImage(std::string_view name);
  // The cached picture of name with a reference for the caller; null when not cached.
  DecodedImage* FindCachedImage(std::string_view name);
  // megabytes < 0 picks the size by the machine's memory (see ComputeCacheBudget).
  void SetCacheBudget(int64_t megabytes);

  ImageCache& GetCache() { return cache_; }
  size_t GetLoaderCount() const { return records_.size(); }
  const ImageLoaderRecord* GetLoaderRecord(size_t index) const {
    return index < records_.size() ? records_[index].get() : nullptr;
  }

 private:
  // The key of a name that exists (loose file or pack member), or "".
  std::string CacheKey(std::string_view name);
  [[nodiscard]] int LoadByContent(std::span<const uint8_t> data, const std::string& key,
                                  const ImageTarget& target, ImagePlacement* placement);
  // One loader's try: placed when it loads, on to LoadIntoDestination when it cannot load into
  // the target. False when the loader fails (the target is then undone); else true with *result.
  [[nodiscard]] bool LoadWith(ImageLoader& loader, std::span<const uint8_t> data,
                              const std::string& key, const ImageTarget& target,
                              ImagePlacement* placement, int* result);
  // Decodes and caches under key (when given), then writes the picture into the target.
  [[nodiscard]] int LoadIntoDestination(std::span<const uint8_t> data, ImageLoader* loader,
                                        const std::string& key, const ImageTarget& target,
                                        ImagePlacement* placement);
  void Cache(DecodedImage* image, const std::string& key);
  static void Destroy(ImageLoaderRecord& record);
  // Names a picture that could not be had on standard error, once per name for this manager.
  void ReportUnloadedPicture(std::string_view name, uint32_t fileCode);

  std::vector<std::unique_ptr<ImageLoaderRecord>> records_;
  ImageCache cache_;
  std::mutex reportedLock_;
  std::set<std::string> reported_;  // lower-case names already reported; guarded by reportedLock_
};

using TheImageLoaderManager = Global<ImageLoaderManager>;

}  // namespace bw
