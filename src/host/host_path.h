// Engine paths and Linux paths meet here. The engine keeps Windows paths: CP932 bytes, '\'
// separators, names compared case-insensitively, and a drive in front. A Linux absolute path
// enters the engine as drive Z: (/home/u/game is "Z:\home\u\game"), and an engine path becomes a
// Linux path again with each component matched case-insensitively (ASCII letters only) against
// the real folder's entries, so a game copied from Windows runs as it is.
#pragma once

#include <string>
#include <string_view>

namespace bw::host {

constexpr int kPathOk = 0;
constexpr int kPathNotAbsolute = 1;   // relative, and no base folder to resolve it against
constexpr int kPathUnknownDrive = 2;  // a drive other than Z:, or a network path (\\host\share)
constexpr int kPathBadName = 3;       // not CP932 / no CP932 form, a NUL, or '\' in a Linux name

// The drive that stands for the Linux root.
constexpr char kRootDrive = 'Z';

// UTF-8 Linux absolute path -> CP932 drive form. Repeated '/' count as one; a trailing '/' is
// kept as a trailing '\'. A name fails when it has no CP932 form or when its form holds a
// separator (U+00A5 becomes 0x5C). A path whose form decodes to other code points (U+301C
// becomes 0x8160, which decodes as U+FF5E) is remembered: engine paths at or below its form map
// back to it byte for byte, not to a sibling spelled with the decoded points, until a later path
// with the same form enters.
[[nodiscard]] int LinuxPathToEnginePath(std::string_view linuxPath, std::string& enginePath);

// CP932 engine path -> UTF-8 Linux path. An absolute path is in drive form ("Z:\...", drive
// letter in either case) or starts with one '\' (the root of drive Z:); anything else is
// resolved against base, a Linux absolute folder (none given: kPathNotAbsolute). Both '\' and
// '/' separate; repeated separators count as one; "." is skipped and ".." goes up, never above
// the root. An absolute path below a remembered one (see above) starts from its Linux form.
// Each further component takes the name of the matching entry of its folder: the exact name
// when present, else the first case-insensitive match in byte order. From the first component
// that matches nothing the rest is kept as given, so new files can be created. A trailing
// separator stays.
[[nodiscard]] int EnginePathToLinuxPath(std::string_view enginePath, std::string_view base,
                                        std::string& linuxPath);
[[nodiscard]] inline int EnginePathToLinuxPath(std::string_view enginePath,
                                               std::string& linuxPath) {
  return EnginePathToLinuxPath(enginePath, {}, linuxPath);
}

// Case-insensitive lookup of one UTF-8 name in a Linux folder: the exact name when it exists,
// else the first entry in byte order that matches with ASCII case folded, else the first that
// matches so in CP932 (so "～" finds "〜": both are 0x8160). Empty when none.
std::string FindEntryNoCase(const std::string& folder, std::string_view name);

}  // namespace bw::host
