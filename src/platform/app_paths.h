// The path helpers the whole program uses, on engine paths: CP932 bytes, '\' separators ('/'
// taken too), drive form ("Z:\game\"). The byte after a Shift-JIS lead byte is never read as a
// separator, dot or colon. Paths are bounded like the engine's 260-byte buffers: a result that
// would not fit is refused rather than cut.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace bw {

// Longest path with its terminator.
constexpr size_t kMaxPath = 260;
// The longest name the engine builds inside the application folder: the saves and the read-text
// log of the save-data folder that mode 1 keeps there ("SAVEDATA\DATA10-1.SAV",
// "SAVEDATA\TEXT_LOG.DAT"; the settings and the scripts' "SCRIPT\SOB_INIT.DAT" and its kin are
// shorter).
constexpr size_t kLongestStartName = sizeof("SAVEDATA\\TEXT_LOG.DAT") - 1;
// The longest application folder, with its trailing separator, that leaves room for those names.
constexpr size_t kMaxAppFolder = kMaxPath - 1 - kLongestStartName;

// BuildAbsolutePath results.
constexpr int kPathBuildFailed = 0;
constexpr int kPathWasAbsolute = 1;
constexpr int kPathJoined = 2;

// FindCdromDriveWithFile results.
constexpr int kCdromFound = 0;
constexpr int kNoCdromDrive = 1;
constexpr int kCdromWithoutFile = 2;

// InitAppFolder and RebaseAppFolder results.
constexpr int kAppFolderSet = 0;
constexpr int kAppFolderFailed = 1;

// CutLastPathPart results.
constexpr int kCutPathDone = 0;
constexpr int kCutPathFailed = 1;

// The application folder: drive form, always ending with '\'; empty until set.
const std::string& GetAppFolder();
// Sets the application folder to the folder of the running program; kAppFolderFailed when it
// cannot be found or has no engine form.
[[nodiscard]] int InitAppFolder();
// Replaces the application folder by path resolved against it ('\' appended);
// kAppFolderFailed when the path cannot be built.
[[nodiscard]] int RebaseAppFolder(std::string_view path);

// A path starting with "\\" or holding a ':' is copied as it is (1). Otherwise leading "." and
// ".." steps are taken against base (the application folder when null) and the rest is joined
// to it with its '/' turned into '\' (2). 0 for a ".." above the root, an empty base or a
// result that does not fit.
[[nodiscard]] int BuildAbsolutePath(std::string& destination, std::string_view path,
                                    const std::string* base = nullptr);

// True when the last character is a separator (not a 0x5C trail byte).
bool EndsWithSeparator(std::string_view path);

// Cuts path in place to its parent folder, keeping the separator; kCutPathFailed for an empty or
// too short path, or one without a separator.
[[nodiscard]] int CutLastPathPart(std::string& path);

// The last component. For a path ending with a separator, the last folder's name when folder is
// set, else "". A bare host root ("\\host") is given whole with folder set, else "".
std::string GetPathLeafName(std::string_view path, bool folder);

// The text after the last '.' of the whole path, "" without one.
std::string GetPathExtension(std::string_view path);

// Cuts path at its last '.' and answers the text after it; "" (path kept) without one.
std::string SplitOffExtension(std::string& path);

// Cuts path after its last separator and answers the file name removed; "" (path kept) when
// the path ends with a separator, has none, or is a bare host root.
std::string CutFileName(std::string& path);

// The root of the first CD-ROM drive that holds fileName (any CD-ROM drive when null).
// There are no CD-ROM drives here.
[[nodiscard]] int FindCdromDriveWithFile(const char* fileName, std::string* root);

}  // namespace bw
