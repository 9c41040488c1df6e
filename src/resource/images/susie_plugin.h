// The Susie plug-in interface as native shared objects take it here: the same entry names and
// arguments, with pointer-sized handles. A handle the plug-in hands out is a block from malloc
// (the host frees it with free); a GetFile to memory gives a block of exactly the member.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bw {

using SusieHandle = void*;
// progress(done, total, data): non-zero asks the plug-in to stop.
using SusieProgress = int (*)(int done, int total, intptr_t data);

using SusieGetPluginInfo = int (*)(int infoNumber, char* buffer, int bufferLength);
// IsSupported(file name, the file's first 2,048 bytes).
using SusieIsSupported = int (*)(const char* name, const void* head);
// GetPicture(data, size, flag 1 = from memory, out info block, out pixel block, progress, data).
using SusieGetPicture = int (*)(const char* data, intptr_t size, unsigned flag, SusieHandle* info,
                                SusieHandle* pixels, SusieProgress progress, intptr_t progressData);
using SusieGetPictureInfo = int (*)(const char* data, intptr_t size, unsigned flag, void* info);
using SusieGetPreview = int (*)(const char* data, intptr_t size, unsigned flag, SusieHandle* info,
                                SusieHandle* pixels, SusieProgress progress, intptr_t progressData);
// GetArchiveInfo(path, offset, flag 0 = from a file, out block of fileInfo records).
using SusieGetArchiveInfo = int (*)(const char* path, intptr_t offset, unsigned flag,
                                    SusieHandle* list);
// GetFile(archive path, member position, destination (a folder, or an out handle with flag
// 0x100), flag, progress, data).
using SusieGetFile = int (*)(const char* path, intptr_t position, char* destination, unsigned flag,
                             SusieProgress progress, intptr_t progressData);
using SusieConfigurationDlg = int (*)(void* parentWindow, int function);

constexpr int kSusieOk = 0;
constexpr unsigned kSusieFromMemory = 1;
constexpr unsigned kSusieFromFile = 0;
constexpr unsigned kSusieToMemory = 0x100;
constexpr int kSusieInfoKind = 0;
constexpr int kSusieInfoFilter = 2;
constexpr int kSusieInfoDescription = 3;
constexpr int kSusieInfoBufferSize = 256;
constexpr size_t kSusieHeadSize = 2048;

// One record of an archive's member list; a record whose first byte is 0 ends the list.
#pragma pack(push, 1)
struct SusieFileInfo {
  uint8_t method[8];
  uint32_t position;
  uint32_t compressedSize;
  uint32_t fileSize;
  uint32_t timeStamp;
  char path[200];
  char fileName[200];
  uint32_t crc;
};
#pragma pack(pop)
static_assert(sizeof(SusieFileInfo) == 428);

}  // namespace bw
