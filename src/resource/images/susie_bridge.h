// Susie plug-ins (*.SPI) from the "plugin" folder: an image plug-in ("00IN") becomes one more
// image loader, an archive plug-in ("00AM") one more pack decoder of the file-system manager.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "resource/images/image_loader.h"
#include "resource/images/susie_plugin.h"
#include "resource/packs/archive.h"

namespace bw {

class FileSystemManager;
class ImageLoaderManager;

constexpr uint32_t kSusieImageType = 5;
constexpr uint32_t kSusieArchiveType = 3;

// LoadSusiePlugin.
constexpr int kSusieTaken = 0;
constexpr int kSusieBadPath = 1;
constexpr int kSusieLoadFailed = 2;
constexpr int kSusieNoPluginInfo = 3;
constexpr int kSusieUnknownKind = 4;  // neither kind, a required entry missing, out of memory
constexpr int kSusieKindRefused = -1;
constexpr int kSusieRegistrationRefused = 5;
// SusieImageLoader::LoadToBuffers.
constexpr int kSusieNoData = 4;
constexpr int kSusiePictureFailed = 1;
// SusieArchive reads.
constexpr int kSusieGetFileFailed = 1;
constexpr int kSusieNoBuffer = 8;

constexpr const char kSpiPattern[] = ".spi";

// A loaded plug-in module, shared by the loader and every archive that runs its code.
using SusieModule = std::shared_ptr<void>;

// "*.jpg;*.JPEG" becomes "JPG\0JPEG\0\0": stars and dots dropped, ASCII letters upper-cased.
std::string SusieExtensionList(std::string_view filter);

// Member names hash folded: ASCII capitals to lower case; the NEC-row Roman numerals
// 0x8754-0x875D to their IBM-row forms 0xFA4A-0xFA53; in every other double-byte character a
// trail byte 0x60-0x79 moves up by 0x21 and 0x40-0x49 by 0x0A.
std::string SusieFoldName(std::string_view name);
// The form names are compared in. The hash's trail-byte shifts are meant for full-width letters
// (lead 0x82) and the IBM small Roman numerals (lead 0xFA); applied to every character they
// would make different names equal ("ア" and "ケ"), so the comparison folds only those. Names
// equal in this form always hash alike.
std::string SusieMatchName(std::string_view name);
// The 64-bucket hash of a folded name (bytes taken unsigned).
uint32_t SusieNameHash(std::string_view folded);

class SusieImageLoader final : public ImageLoader {
 public:
  SusieImageLoader(SusieModule module, std::string description, std::string extensions,
                   SusieIsSupported isSupported, SusieGetPicture getPicture);

  bool IsSupported(std::span<const uint8_t> data, const char* name) override;
  [[nodiscard]] int LoadToBuffers(std::span<const uint8_t> data,
                                  const ImageProgress& progress) override;

 private:
  SusieModule module_;
  std::string description_;
  std::string extensions_;
  SusieIsSupported isSupported_;
  SusieGetPicture getPicture_;
};

class SusieArchive final : public Archive {
 public:
  struct Member {
    std::string name;
    std::string folded;
    ArchiveEntryInfo info;
  };
  SusieArchive(SusieModule module, std::string path, SusieGetFile getFile,
               std::vector<Member> members, bool withTable);

  uint32_t GetEntryCount() override { return static_cast<uint32_t>(members_.size()); }
  const ArchiveEntry* GetEntryTable() override { return table_.empty() ? nullptr : table_.data(); }
  bool Exists(const char* name) override { return Find(name) != nullptr; }
  const ArchiveEntryInfo* FindEntryInfo(const char* name) override;
  const ArchiveEntryInfo* GetEntryInfo(uint32_t index, const char** name) override;
  [[nodiscard]] int ReadByName(const char* name, ArchiveAllocateFunc allocate, void* argument,
                               ArchiveProgressFunc progress, void* progressArgument) override;
  [[nodiscard]] int ReadByIndex(uint32_t index, ArchiveAllocateFunc allocate, void* argument,
                                ArchiveProgressFunc progress, void* progressArgument) override;
  [[nodiscard]] int ExtractByName(const char* name, const char* folder,
                                  ArchiveProgressFunc progress, void* progressArgument) override;
  [[nodiscard]] int ExtractByIndex(uint32_t index, const char* folder, ArchiveProgressFunc progress,
                                   void* progressArgument) override;
  Stream* OpenStreamByName(const char* name, int* error) override;
  Stream* OpenStreamByIndex(uint32_t index, int* error) override;

 private:
  const Member* Find(const char* name) const;
  const Member* At(uint32_t index) const;
  [[nodiscard]] int Read(const Member* member, ArchiveAllocateFunc allocate, void* argument,
                         ArchiveProgressFunc progress, void* progressArgument);
  [[nodiscard]] int Extract(const Member* member, const char* folder, ArchiveProgressFunc progress,
                            void* progressArgument);

  SusieModule module_;
  std::string path_;  // the archive's Linux path, as the plug-in opens it
  SusieGetFile getFile_;
  std::vector<Member> members_;
  std::vector<ArchiveEntry> table_;
  std::array<std::vector<uint32_t>, 64> buckets_;
};

class SusieArchiveLoader final : public ArchiveLoader {
 public:
  SusieArchiveLoader(SusieModule module, std::string description, std::string extensions,
                     SusieGetArchiveInfo getArchiveInfo, SusieGetFile getFile);
  Archive* Open(const char* path, host::HostFile file, int* error) override;

  const std::string& GetDescription() const { return description_; }
  const std::string& GetExtensions() const { return extensions_; }

 private:
  SusieModule module_;
  std::string description_;
  std::string extensions_;
  SusieGetArchiveInfo getArchiveInfo_;
  SusieGetFile getFile_;
};

// The assist entries of archive plug-ins: kind 0 sets whether archives build their entry
// table (a != 0); other kinds answer 5.
[[nodiscard]] int SusieArchiveAssist(uint32_t kind, uint32_t a, uint32_t b);
[[nodiscard]] int SusieArchiveAssist2(const AdlAssistArgs* args);

// Loads one plug-in and registers it with the manager of its kind (a null manager refuses that
// kind).
[[nodiscard]] int LoadSusiePlugin(std::string_view path, FileSystemManager* archives,
                                  ImageLoaderManager* images);
// The number of *.SPI files of the folder that failed to load; -1 when the folder path cannot
// be built.
[[nodiscard]] int ScanSusiePlugins(std::string_view folder, FileSystemManager* archives,
                                   ImageLoaderManager* images);

// Start-up: the built-in loaders, then the *.GLL and the *.SPI plug-ins of the "plugin" folder.
// Answers the number of plug-ins that failed to load.
int SetUpImageLoaders(ImageLoaderManager& images, FileSystemManager* archives);

}  // namespace bw
