#include "natives/system_file_natives.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

#include "common/atomic_file.h"
#include "common/sjis.h"
#include "host/cp932.h"
#include "host/file/file_system.h"
#include "host/host_path.h"
#include "host/trust.h"
#include "natives/guest_format.h"
#include "natives/system_natives.h"
#include "platform/app_paths.h"
#include "platform/file_dialogs.h"
#include "platform/file_drop_target.h"
#include "resource/files/file_utils.h"
#include "resource/images/image_loader_manager.h"
#include "resource/images/susie_bridge.h"
#include "resource/packs/file_system_manager.h"
#include "script/native_names.h"

namespace bw {

namespace {

// Answers of the File rows for a null handle, and of the queries among them.
constexpr int32_t kNullFile = 5;
constexpr int32_t kNullFileAddress = 0;
constexpr int32_t kNullFileNumber = -1;
// ReadLine's size when the script gives 0.
constexpr uint32_t kDefaultLineSize = 256;
// 142 formats into 512 bytes.
constexpr size_t kFormatLineCapacity = kWriteFormatMax + 1;
// Scan entries and pack queries out of range.
constexpr int32_t kNoEntry = -1;
// 106 and 114.
constexpr int32_t kNoDecoder = -2;
constexpr int32_t kNoPack = -3;
// 113.
constexpr int32_t kInfoNoPack = 1;
constexpr int32_t kInfoNoMember = 2;
// 162 and 163.
constexpr int32_t kNewFolderDone = 0;
constexpr int32_t kNewFolderBadPath = 1;
constexpr int32_t kNewFolderFailed = 2;
constexpr int32_t kMoveBadSource = 1;
constexpr int32_t kMoveBadTarget = 2;
constexpr int32_t kMoveFailed = 3;
// 805.
constexpr int32_t kExtractDone = 0;
constexpr int32_t kExtractLoadFailed = 1;
constexpr int32_t kExtractCreateFailed = 2;

GuestMemory& Mem(NativeArgs& a) {
  return a.Memory();
}
FileNativeState& State(NativeArgs& a) {
  return a.Host().Extension<FileNativeState>();
}
FileSystemManager* Manager() {
  return TheFileSystemManager::Get();
}

// Text k, with 0 as no text at all.
bool OptionalText(NativeArgs& a, uint32_t k, std::string& text, const char*& pointer) {
  bool isNull = false;
  if (!a.Text(k, text, &isNull)) return false;
  pointer = isNull ? nullptr : text.c_str();
  return true;
}

// Writes text, cut on a character boundary to fit size bytes with its terminator, at the
// address in word k (skipped for 0).
bool PutText(NativeArgs& a, uint32_t k, std::string_view text, size_t size = kMaxPath) {
  uint32_t at = a.U32(k);
  if (a.Faulted() || at == 0) return false;
  std::string_view cut = sjis::Truncate(text, size - 1);
  auto n = static_cast<uint32_t>(cut.size());
  return Mem(a).Valid(at, n + 1) ? Mem(a).Write(at, cut.data(), n) && Mem(a).Write(at + n, "", 1)
                                 : NativeArgs::Fault(Mem(a));
}

// 96
int32_t AddSearchFolder(NativeArgs& a) {
  std::string path;
  uint32_t atEnd = a.U32(1);
  if (!a.Text(0, path)) return kFolderBadPath;
  return Manager() ? Manager()->AddSearchFolder(path, atEnd != 0) : kFolderBadPath;
}

// 97: without a path, the folder at index a1.
int32_t RemoveSearchFolder(NativeArgs& a) {
  std::string path;
  const char* p = nullptr;
  int32_t index = a.I32(1);
  if (!OptionalText(a, 0, path, p)) return kFolderNone;
  return Manager() ? Manager()->RemoveSearchFolder(p, index) : kFolderNone;
}

// 98: -1 drops the last search folder; any other word asks how many there are.
int32_t SearchFolderCount(NativeArgs& a) {
  int32_t word = a.I32(0);
  if (a.Faulted()) return 0;
  FileSystemManager* m = Manager();
  if (word == -1) return m ? m->RemoveSearchFolder(nullptr, -1) : kFolderNone;
  return m ? static_cast<int32_t>(m->GetSearchFolderCount()) : 0;
}

// 99
int32_t ClearSearchFolders(NativeArgs&) {
  if (Manager()) Manager()->ClearSearchFolders();
  return 0;
}

// 100 and 115: where the name was found goes to the out text.
template <bool kLooseOnly>
int32_t FindFile(NativeArgs& a) {
  std::string name;
  if (!a.Text(0, name)) return kLooseOnly ? kFindNotInFolders : kFindNotFound;
  FileSystemManager* m = Manager();
  if (!m) return kLooseOnly ? kFindNotInFolders : kFindNotFound;
  std::string path;
  int code = kLooseOnly ? m->FindFileInfo(&path, name, nullptr) : m->FindFile(&path, name, nullptr);
  if (code == kFindLoose || code == kFindInPack) PutText(a, 1, path);
  return code;
}

// 101
int32_t FindCdromDrive(NativeArgs& a) {
  std::string name;
  const char* n = nullptr;
  if (!OptionalText(a, 1, name, n)) return kNoCdromDrive;
  std::string root;
  int code = FindCdromDriveWithFile(n, &root);
  if (code == kCdromFound) PutText(a, 0, root);
  return code;
}

// 102
int32_t GetFileSize(NativeArgs& a) {
  std::string name;
  if (!a.Text(0, name)) return 0;
  int32_t size = GetFileSizeByName(name.c_str());
  if (size == kNoFileSize) return 0;
  a.Out32(1, static_cast<uint32_t>(size));
  return 1;
}

// 103, 104
template <bool kFolder>
int32_t LoadDecoders(NativeArgs& a) {
  std::string path;
  if (!a.Text(0, path)) return kPluginBadPath;
  FileSystemManager* m = Manager();
  if (!m) return kFolder ? -1 : kPluginBadPath;
  return kFolder ? m->ScanDecoderPlugins(path) : m->LoadDecoderPlugin(path);
}

// 105
int32_t RemoveDecoder(NativeArgs& a) {
  int32_t type = a.I32(0);
  if (a.Faulted() || !Manager()) return 0;
  if (type == -1) {
    Manager()->RemoveAllDecoders();
  } else {
    Manager()->RemoveDecoder(static_cast<uint32_t>(type));
  }
  return 0;
}

// 106: the decoder's assist words are the script's own, copied in.
int32_t CallDecoderAssist(NativeArgs& a) {
  uint32_t type = a.U32(0);
  if (a.Faulted() || !Manager()) return kNoDecoder;
  AdlAssistFunc2 assist = Manager()->GetDecoderAssistFunc2(type);
  if (!assist) return kNoDecoder;
  AdlAssistArgs words{a.U32(1), a.U32(2), a.U32(3)};
  return a.Faulted() ? kNoDecoder : assist(&words);
}

// 107
int32_t MountPack(NativeArgs& a) {
  std::string name;
  int32_t id = a.I32(1);
  uint32_t named = a.U32(2), atEnd = a.U32(3);
  if (!a.Text(0, name)) return kMountNoFile;
  return Manager() ? Manager()->Mount(name, id, named != 0, atEnd != 0) : kMountNoFile;
}

// 108: by mount name, else by id (the last pack for the start-up id).
int32_t UnmountPack(NativeArgs& a) {
  std::string path;
  const char* p = nullptr;
  int32_t id = a.I32(1);
  if (!OptionalText(a, 0, path, p) || !Manager()) return 0;
  Manager()->Unmount(p, id, -1);
  State(a).ForgetUnmountedPacks();
  return 0;
}

// 109
int32_t MountCount(NativeArgs&) {
  return Manager() ? static_cast<int32_t>(Manager()->GetMountCount()) : 0;
}

// 110
int32_t UnmountAll(NativeArgs& a) {
  if (Manager()) Manager()->UnmountAll();
  State(a).ForgetUnmountedPacks();
  return 0;
}

Archive* Pack(NativeArgs& a, uint32_t k) {
  int32_t id = a.I32(k);
  return !a.Faulted() && Manager() ? Manager()->GetMountArchive(id, 0) : nullptr;
}

// 111: how many members the pack holds.
int32_t PackMemberCount(NativeArgs& a) {
  Archive* pack = Pack(a, 0);
  return pack ? static_cast<int32_t>(pack->GetEntryCount()) : kNoEntry;
}

// 112
int32_t PackMemberName(NativeArgs& a) {
  Archive* pack = Pack(a, 0);
  uint32_t member = a.U32(1);
  if (!pack || a.Faulted() || member >= pack->GetEntryCount()) return 0;
  const char* name = nullptr;
  if (!pack->GetEntryInfo(member, &name) || !name) return 0;
  return static_cast<int32_t>(State(a).MemberName(pack, member, name));
}

// 113: the stored size and the size reading gives.
int32_t PackMemberInfo(NativeArgs& a) {
  Archive* pack = Pack(a, 0);
  uint32_t member = a.U32(1);
  if (!pack) return kInfoNoPack;
  const ArchiveEntryInfo* info =
      member < pack->GetEntryCount() ? pack->GetEntryInfo(member, nullptr) : nullptr;
  if (!info) return kInfoNoMember;
  a.Out32(2, info->size);
  a.Out32(3, info->packed ? info->unpackedSize : info->size);
  return 0;
}

// 114: packs here take no commands.
int32_t PackCommand(NativeArgs& a) {
  return Pack(a, 0) ? kArchiveNotSupported : kNoPack;
}

// 116, 117
template <bool kFolder>
int32_t LoadSusie(NativeArgs& a) {
  std::string path;
  if (!a.Text(0, path)) return kSusieBadPath;
  ImageLoaderManager* images = TheImageLoaderManager::Get();
  return kFolder ? ScanSusiePlugins(path, Manager(), images)
                 : LoadSusiePlugin(path, Manager(), images);
}

// 120: the folder part of a0 into a1.
int32_t FolderPart(NativeArgs& a) {
  std::string path;
  if (!a.Text(0, path) || a.U32(1) == 0) return 0;
  CutFileName(path);
  PutText(a, 1, path);
  return 0;
}

// 123: 1 when the folder became the current one.
int32_t SetCurrentDirectory(NativeArgs& a) {
  std::string path, linuxPath;
  if (!a.Text(0, path) || !ResolveLinuxPath(path, nullptr, linuxPath)) return 0;
  return host::SetCurrentFolder(linuxPath) ? 1 : 0;
}

// 124
int32_t FileCreate(NativeArgs& a) {
  uint32_t handle = 0;
  (void)State(a).Files().Create(handle, NoSetup{}, Mem(a));  // a failure leaves the handle 0
  return static_cast<int32_t>(handle);
}

// 125: the variable is cleared whatever it held.
int32_t FileRelease(NativeArgs& a) {
  uint32_t variable = a.U32(0);
  if (a.Faulted() || variable == 0) return kObjectListNullObject;
  uint32_t handle = 0;
  if (!Mem(a).Read32(variable, handle)) return kObjectListNullObject;
  int32_t result = State(a).Files().ReleaseHandle(handle);
  Mem(a).Write32(variable, 0);
  return result;
}

// 126
int32_t FileReleaseAll(NativeArgs& a) {
  State(a).Files().ReleaseAll();
  return 0;
}

ScriptFile* FileOf(NativeArgs& a) {
  uint32_t handle = a.U32(0);
  return a.Faulted() ? nullptr : State(a).Files().Find(handle);
}

// 127, 129, 131: one name.
template <uint32_t (File::*Open)(const char*)>
int32_t FileOpen(NativeArgs& a) {
  ScriptFile* f = FileOf(a);
  std::string name;
  const char* n = nullptr;
  if (!f) return kNullFile;
  if (!OptionalText(a, 1, name, n)) return kFileBadPath;
  return static_cast<int32_t>((f->*Open)(n));
}

// 128
int32_t FileLoadPackMember(NativeArgs& a) {
  ScriptFile* f = FileOf(a);
  int32_t pack = a.I32(1), member = a.I32(2);
  std::string name;
  const char* n = nullptr;
  if (!f) return kNullFile;
  if (!OptionalText(a, 3, name, n)) return kFileBadPath;
  return static_cast<int32_t>(f->LoadPackMember(pack, member, n));
}

// 130
int32_t FileCreateDisk(NativeArgs& a) {
  ScriptFile* f = FileOf(a);
  std::string name;
  const char* n = nullptr;
  uint32_t overwrite = a.U32(2);
  if (!f) return kNullFile;
  if (!OptionalText(a, 1, name, n)) return kFileBadPath;
  return static_cast<int32_t>(f->Create(n, overwrite != 0));
}

// 132
int32_t FileClose(NativeArgs& a) {
  ScriptFile* f = FileOf(a);
  if (!f) return kNullFile;
  return static_cast<int32_t>(f->CloseWritten());
}

// 133, 135
int32_t FileData(NativeArgs& a) {
  ScriptFile* f = FileOf(a);
  return f ? static_cast<int32_t>(f->GuestData()) : kNullFileAddress;
}
int32_t FilePath(NativeArgs& a) {
  ScriptFile* f = FileOf(a);
  return f ? static_cast<int32_t>(f->GuestPath()) : kNullFileAddress;
}

// 134, 136
int32_t FileSize(NativeArgs& a) {
  ScriptFile* f = FileOf(a);
  return f ? static_cast<int32_t>(f->GetSize()) : kNullFileNumber;
}
int32_t FileTell(NativeArgs& a) {
  ScriptFile* f = FileOf(a);
  return f ? static_cast<int32_t>(f->Tell()) : kNullFileNumber;
}

// 137, 138
template <uint32_t (File::*Move)(int32_t)>
int32_t FileMove(NativeArgs& a) {
  ScriptFile* f = FileOf(a);
  int32_t distance = a.I32(1);
  if (!f || a.Faulted()) return kNullFile;
  return static_cast<int32_t>((f->*Move)(distance));
}

// The guest bytes of a buffer word and a count word, checked whole; empty for a null buffer or
// a count below 1.
std::span<uint8_t> Buffer(NativeArgs& a, uint32_t bufferWord, int64_t count) {
  uint32_t at = a.U32(bufferWord);
  if (a.Faulted() || at == 0 || count < 1 || !GuestRange(Mem(a), at, count)) return {};
  return Mem(a).View(at, static_cast<uint32_t>(count));
}

// 139, 141: counts of bytes moved; a null File moves none.
int32_t FileRead(NativeArgs& a) {
  ScriptFile* f = FileOf(a);
  std::span<uint8_t> buffer = Buffer(a, 1, a.I32(2));
  if (!f || buffer.empty()) return 0;
  return static_cast<int32_t>(f->Read(buffer.data(), static_cast<uint32_t>(buffer.size())));
}
int32_t FileWrite(NativeArgs& a) {
  ScriptFile* f = FileOf(a);
  std::span<uint8_t> buffer = Buffer(a, 1, a.I32(2));
  if (!f || buffer.empty()) return 0;
  return static_cast<int32_t>(f->Write(buffer.data(), static_cast<uint32_t>(buffer.size())));
}

// 140: a buffer of 0 asks for the size the line needs.
int32_t FileReadLine(NativeArgs& a) {
  ScriptFile* f = FileOf(a);
  uint32_t at = a.U32(1);
  uint32_t size = a.U32(2);
  if (!f || a.Faulted()) return 0;
  if (at == 0) return f->ReadLine(nullptr, 0);
  if (size == 0) size = kDefaultLineSize;
  std::span<uint8_t> buffer = Buffer(a, 1, size);
  if (buffer.empty()) return 0;
  return f->ReadLine(reinterpret_cast<char*>(buffer.data()), size);
}

// 142: into 512 bytes, so at most 511 and a terminator.
int32_t FileWriteFormat(NativeArgs& a) {
  ScriptFile* f = FileOf(a);
  std::string format;
  if (!f || !a.Text(1, format)) return 0;
  std::array<char, kFormatLineCapacity> buffer;
  std::optional<std::string_view> line = FormatGuestText(Mem(a), format, a.WordAddress(2), buffer);
  if (!line) return 0;
  return static_cast<int32_t>(f->Write(line->data(), static_cast<uint32_t>(line->size())));
}

// 143
int32_t SlotPoolAllocate(NativeArgs& a) {
  uint32_t count = a.U32(0) & 0xFFFF;
  if (a.Faulted()) return kSlotOutOfMemory;
  State(a).ForgetSlots(0, 0);
  return State(a).Pool().Allocate(count);
}

// 144: count name words from a2 on.
int32_t SlotPoolStartLoading(NativeArgs& a) {
  uint32_t first = a.U32(0);
  uint32_t count = a.U32(1);
  if (a.Faulted()) return kSlotBadBatch;
  FileSlotPool& pool = State(a).Pool();
  if (count == 0 || count > pool.GetSlotCount()) return kSlotBadBatch;
  if (!GuestRange(Mem(a), a.WordAddress(2), int64_t{count} * 4)) return kSlotBadBatch;
  std::vector<std::string> names(count);
  std::vector<const char*> pointers(count);
  for (uint32_t i = 0; i < count; ++i) {
    if (!a.Text(2 + i, names[i])) return kSlotBadBatch;
    pointers[i] = names[i].c_str();
  }
  int code = pool.StartLoading(first, count, pointers.data());
  // The batch's slots load again: their old copies go.
  if (code == kSlotOk) State(a).ForgetSlots(first, count);
  return code;
}

// 145
int32_t SlotPoolWaitIdle(NativeArgs& a) {
  return State(a).Pool().WaitIdle() ? 1 : 0;
}

// 146
int32_t SlotPoolClose(NativeArgs& a) {
  uint32_t first = a.U32(0), count = a.U32(1);
  if (a.Faulted()) return kSlotNoSlots;
  if (count == 0) {
    State(a).Pool().Free();
    State(a).ForgetSlots(0, 0);
    return 0;
  }
  int busy = State(a).Pool().CloseRange(first, count);
  State(a).ForgetSlots(first, count);
  return busy;
}

// 147, 148
int32_t SlotData(NativeArgs& a) {
  uint32_t slot = a.U32(0);
  return a.Faulted() ? 0 : static_cast<int32_t>(State(a).SlotData(slot));
}
int32_t SlotSize(NativeArgs& a) {
  uint32_t slot = a.U32(0);
  return a.Faulted() ? 0 : static_cast<int32_t>(State(a).Pool().GetSlotSize(slot));
}

// 149: a0 folder, a1 pattern, a2 recurse, a3 folder mode.
int32_t ScanFolder(NativeArgs& a) {
  std::string folder, pattern;
  const char* f = nullptr;
  const char* p = nullptr;
  uint32_t recurse = a.U32(2);
  int32_t mode = a.I32(3);
  if (!OptionalText(a, 0, folder, f) || !OptionalText(a, 1, pattern, p)) return 0;
  State(a).ClearScan();
  return static_cast<int32_t>(State(a).Scan().Scan(f, p, mode, recurse != 0));
}

// 150, 151
int32_t ScanName(NativeArgs& a) {
  int32_t index = a.I32(0);
  return a.Faulted() ? 0 : static_cast<int32_t>(State(a).ScanName(index));
}

const FileListEntry* Entry(NativeArgs& a) {
  int32_t index = a.I32(0);
  return a.Faulted() ? nullptr : State(a).Scan().GetEntry(index);
}

// 152
int32_t ScanAttribute(NativeArgs& a) {
  const FileListEntry* e = Entry(a);
  return e ? e->attributes : kNoEntry;
}

// 153: year, month, day of week, day, hour, minute, second.
int32_t ScanTime(NativeArgs& a) {
  const FileListEntry* e = Entry(a);
  if (!e) return kNoEntry;
  const FileTimeFields& t = e->time;
  const uint32_t fields[] = {t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second};
  for (uint32_t k = 0; k < std::size(fields) && a.Out32(k + 1, fields[k]);) ++k;
  return 0;
}

// 154
int32_t ScanClear(NativeArgs& a) {
  State(a).ClearScan();
  return 0;
}

// 155
int32_t SetDropTarget(NativeArgs& a) {
  uint32_t on = a.U32(0);
  ScriptApplication* app = a.Host().Application();
  if (!a.Faulted() && app) app->EnableFileDrops(on != 0);
  return 0;
}

// 156: a name for an index, the count for a negative one.
int32_t GetDroppedFile(NativeArgs& a) {
  int32_t index = a.I32(0);
  ScriptApplication* app = a.Host().Application();
  FileDropTarget* drops = app && !a.Faulted() ? app->FileDrops() : nullptr;
  if (!drops) return 0;
  if (index < 0) return static_cast<int32_t>(drops->GetCount());
  std::optional<std::string> name = drops->GetFile(index);
  return name ? static_cast<int32_t>(State(a).DroppedName(index, *name)) : 0;
}

// 157
int32_t ClearDroppedFiles(NativeArgs& a) {
  ScriptApplication* app = a.Host().Application();
  if (FileDropTarget* drops = app ? app->FileDrops() : nullptr) drops->Clear();
  State(a).ClearDrops();
  return 0;
}

// The start folder of the dialogs: the script's text buffer when it gives none.
bool StartFolder(NativeArgs& a, uint32_t k, std::string& folder) {
  uint32_t at = a.U32(k);
  if (a.Faulted()) return false;
  if (at == 0) at = a.Host().Extension<SystemNativeState>().TextBuffer();
  return at == 0 || Mem(a).ReadCString(at, folder, Mem(a).Top());
}

// 158, 159: a0 title (then the result), a1 path, a2 file title, a3 start folder, a4 filter,
// a5 default extension.
template <bool kSave>
int32_t FileDialog(NativeArgs& a) {
  ScriptApplication::FileDialogRecord record;
  record.save = kSave;
  uint32_t pathAt = a.U32(1), titleAt = a.U32(2);
  if (a.Faulted() || pathAt == 0 || titleAt == 0) return 0;
  if (!a.Text(0, record.title) || !StartFolder(a, 3, record.initialFolder) ||
      !a.Text(4, record.filter) || (kSave && !a.Text(5, record.defaultExtension))) {
    return 0;
  }
  // Saving proposes what the path buffer holds; opening starts empty.
  if (kSave && !a.Text(1, record.path)) return 0;
  record.path = sjis::Truncate(record.path, kDialogPathSize - 1);
  if (ScriptApplication* app = a.Host().Application()) app->RequestFileDialog(record);
  if (!PutText(a, 1, record.path, kDialogPathSize) ||
      !PutText(a, 2, record.fileTitle, kDialogFileTitleSize)) {
    return 0;
  }
  Mem(a).Write32(a.WordAddress(0), static_cast<uint32_t>(record.answer));
  return record.answer;
}

// 160: a0 title (then the result), a1 start folder, a2 the folder chosen.
int32_t FolderDialog(NativeArgs& a) {
  ScriptApplication::FolderDialogRecord record;
  uint32_t out = a.U32(2);
  if (a.Faulted() || out == 0) return 0;
  if (!a.Text(0, record.title) || !StartFolder(a, 1, record.initialFolder)) return 0;
  if (ScriptApplication* app = a.Host().Application()) app->RequestFolderDialog(record);
  if (!PutText(a, 2, record.path, kDialogPathSize)) return 0;
  Mem(a).Write32(a.WordAddress(0), static_cast<uint32_t>(record.answer));
  return record.answer;
}

// 161
int32_t RunProcess(NativeArgs& a) {
  std::string command;
  int32_t mode = a.I32(1);
  if (!a.Text(0, command)) return static_cast<int32_t>(kRunFailed);
  // A program is native code, as a module is.
  if (!host::GameTrusted()) {
    host::TellProgramRefused(host::Cp932ToUtf8Lenient(command));
    return static_cast<int32_t>(kRunFailed);
  }
  return static_cast<int32_t>(RunProcessAndWait(command.c_str(), mode, 0, 0));
}

// 162: a folder the game may not write in fails as a denied one does.
int32_t CreateFolder(NativeArgs& a) {
  std::string path, linuxPath;
  if (!a.Text(0, path) || !ResolveLinuxPath(path, nullptr, linuxPath)) return kNewFolderBadPath;
  if (!host::GamePathAllowed(linuxPath, host::PathUse::kWrite)) return kNewFolderFailed;
  return host::CreateFolder(linuxPath) ? kNewFolderDone : kNewFolderFailed;
}

// 163: never over an existing file.
int32_t MoveFile(NativeArgs& a) {
  std::string from, to, linuxFrom, linuxTo;
  if (!a.Text(0, from) || !a.Text(1, to)) return kMoveBadSource;
  if (!ResolveLinuxPath(from, nullptr, linuxFrom)) return kMoveBadSource;
  if (!ResolveLinuxPath(to, nullptr, linuxTo)) return kMoveBadTarget;
  // Both ends change: the source goes.
  if (!host::GamePathAllowed(linuxFrom, host::PathUse::kWrite) ||
      !host::GamePathAllowed(linuxTo, host::PathUse::kWrite)) {
    return kMoveFailed;
  }
  return host::MovePath(linuxFrom, linuxTo) ? 0 : kMoveFailed;
}

// 164: the destination is the second word.
int32_t CopyFile(NativeArgs& a) {
  std::string from, to;
  int32_t mode = a.I32(2);
  if (!a.Text(0, from) || !a.Text(1, to)) return kCopyRefused;
  return CopyFileIfNewer(to.c_str(), from.c_str(), mode);
}

// 165: year, month, day, hour, minute, second, day of week.
int32_t GetFileTime(NativeArgs& a) {
  std::string name;
  if (!a.Text(0, name)) return static_cast<int32_t>(kFileTimeInPack);
  std::array<uint16_t, 7> t{};
  uint32_t code = GetFileTimeByName(name.c_str(), &t[0], &t[1], &t[2], &t[3], &t[4], &t[5], &t[6]);
  if (code == kFileFound) {
    for (uint32_t k = 0; k < t.size() && a.Out32(k + 1, t[k]);) ++k;
  }
  return static_cast<int32_t>(code);
}

// 805: the whole resource to a new disk file, replacing an old one only once it is written.
int32_t ExtractFile(NativeArgs& a) {
  std::string name, path, engine, linuxPath;
  if (!a.Text(0, name) || !a.Text(1, path)) return kExtractLoadFailed;
  File file;
  if (file.Load(name.c_str()) != kFileOk) return kExtractLoadFailed;
  if (ResolveDiskPath(path.c_str(), engine, linuxPath) != kFileOk) return kExtractCreateFailed;
  const auto* data = static_cast<const uint8_t*>(file.GetData());
  const bool written = WriteFileAtomically(linuxPath, {data, data ? file.GetSize() : 0});
  return written ? kExtractDone : kExtractCreateFailed;
}

constexpr NativeEntry kEntries[] = {
    {Native::kFileSystemAddSearchFolder, AddSearchFolder},
    {Native::kFileSystemRemoveSearchFolder, RemoveSearchFolder},
    {Native::kFileSystemSearchFolderCount, SearchFolderCount},
    {Native::kFileSystemClearSearchFolders, ClearSearchFolders},
    {Native::kFileSystemFindFile, FindFile<false>},
    {Native::kFindCdromDrive, FindCdromDrive},
    {Native::kGetFileSize, GetFileSize},
    {Native::kFileSystemLoadDecoders, LoadDecoders<true>},
    {Native::kFileSystemLoadDecoder, LoadDecoders<false>},
    {Native::kFileSystemRemoveDecoder, RemoveDecoder},
    {Native::kFileSystemCallDecoderAssist, CallDecoderAssist},
    {Native::kFileSystemMountPack, MountPack},
    {Native::kFileSystemUnmountPack, UnmountPack},
    {Native::kFileSystemMountCount, MountCount},
    {Native::kFileSystemUnmountAll, UnmountAll},
    {Native::kFileSystemPackMemberCount, PackMemberCount},
    {Native::kFileSystemPackMemberName, PackMemberName},
    {Native::kFileSystemPackMemberInfo, PackMemberInfo},
    {Native::kFileSystemPackCommand, PackCommand},
    {Native::kFileSystemFindFileInPacks, FindFile<true>},
    {Native::kLoadSusiePlugin, LoadSusie<false>},
    {Native::kScanSusiePlugins, LoadSusie<true>},
    {Native::kPathHelper, FolderPart},
    {Native::kSetCurrentDirectory, SetCurrentDirectory},
    {Native::kFileCreate, FileCreate},
    {Native::kFileRelease, FileRelease},
    {Native::kFileReleaseAll, FileReleaseAll},
    {Native::kFileLoad, FileOpen<&File::Load>},
    {Native::kFileLoadPackMember, FileLoadPackMember},
    {Native::kFileOpenStream, FileOpen<&File::OpenStream>},
    {Native::kFileCreateOnDisk, FileCreateDisk},
    {Native::kFileOpenReadWrite, FileOpen<&File::OpenReadWrite>},
    {Native::kFileClose, FileClose},
    {Native::kFileGetData, FileData},
    {Native::kFileGetSize, FileSize},
    {Native::kFileGetPath, FilePath},
    {Native::kFileTell, FileTell},
    {Native::kFileSeek, FileMove<&File::Seek>},
    {Native::kFileSkip, FileMove<&File::Skip>},
    {Native::kFileRead, FileRead},
    {Native::kFileReadLine, FileReadLine},
    {Native::kFileWrite, FileWrite},
    {Native::kFileWriteFormat, FileWriteFormat},
    {Native::kSlotPoolAllocate, SlotPoolAllocate},
    {Native::kSlotPoolStartLoading, SlotPoolStartLoading},
    {Native::kSlotPoolWaitIdle, SlotPoolWaitIdle},
    {Native::kSlotPoolClose, SlotPoolClose},
    {Native::kSlotGetData, SlotData},
    {Native::kSlotGetSize, SlotSize},
    {Native::kScanFolder, ScanFolder},
    {Native::kScanGetName, ScanName},
    {Native::kScanGetPath, ScanName},
    {Native::kScanGetAttribute, ScanAttribute},
    {Native::kScanGetTime, ScanTime},
    {Native::kScanClear, ScanClear},
    {Native::kSetDropTarget, SetDropTarget},
    {Native::kGetDroppedFile, GetDroppedFile},
    {Native::kClearDroppedFiles, ClearDroppedFiles},
    {Native::kOpenFileDialog, FileDialog<false>},
    {Native::kSaveFileDialog, FileDialog<true>},
    {Native::kFolderDialog, FolderDialog},
    {Native::kRunProcess, RunProcess},
    {Native::kCreateFolder, CreateFolder},
    {Native::kMoveFile, MoveFile},
    {Native::kCopyFile, CopyFile},
    {Native::kGetFileTime, GetFileTime},
    {Native::kExtractFile, ExtractFile},
};

}  // namespace

std::span<const NativeEntry> SystemFileNativeEntries() {
  return kEntries;
}

}  // namespace bw
