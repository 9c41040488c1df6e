// Modules: native shared objects through the dynamic loader. A Windows DLL does not load, so the
// caller's failure path runs. Paths are Linux paths.
#pragma once

#include <cstdint>
#include <string>

namespace bw::host {

using HMODULE = void*;
using FARPROC = void (*)();

// Null when the file is missing, is a Windows DLL, or the loader refuses it; a native module is
// loaded only when the player trusts the game (host/trust.h), and its refusal is told. Repeated
// loads of one file count up and each needs its FreeLibrary.
[[nodiscard]] HMODULE LoadLibrary(const std::string& path);
// Null for a missing name or module.
FARPROC GetProcAddress(HMODULE module, const char* name);
[[nodiscard]] bool FreeLibrary(HMODULE module);

// What a file is to the loader: missing (or not a regular file), a native shared object, or
// any other file (a Windows module among them).
enum class ModuleFile { kMissing, kNative, kForeign };
ModuleFile ClassifyModuleFile(const std::string& path);

}  // namespace bw::host
