#include "host/module.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "host/trust.h"

namespace bw::host {

namespace {

constexpr const char* kElfMagic =
    "\x7f"
    "ELF";

// Reads the first bytes; a file that cannot be read answers empty.
std::string FileMagic(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char bytes[4] = {};
  in.read(bytes, sizeof(bytes));
  return std::string(bytes, static_cast<size_t>(in.gcount()));
}

bool HasDllSuffix(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = path.substr(path.size() - 4);
  for (char& c : tail) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return tail == ".dll";
}

}  // namespace

HMODULE LoadLibrary(const std::string& path) {
  if (path.empty()) return nullptr;
  std::string magic = FileMagic(path);
  bool elf = magic == kElfMagic;
  // A Windows module is never handed to the loader: some of them look enough like a library to
  // get far before failing.
  if (magic.compare(0, 2, "MZ") == 0 || (HasDllSuffix(path) && !elf)) {
    std::fprintf(stderr, "brimwold: %s is a Windows module and cannot be loaded\n", path.c_str());
    return nullptr;
  }
  // Loading runs the module's constructors: a game's own native code runs only when trusted.
  if (elf && !GameTrusted()) {
    TellModuleSkipped(path, "");
    return nullptr;
  }
  HMODULE module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char* error = dlerror();
    std::fprintf(stderr, "brimwold: cannot load %s: %s\n", path.c_str(),
                 error ? error : "unknown error");
  }
  return module;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
  if (!module || !name) return nullptr;
  void* symbol = dlsym(module, name);
  FARPROC proc = nullptr;
  static_assert(sizeof(proc) == sizeof(symbol));
  std::memcpy(&proc, &symbol, sizeof(proc));
  return proc;
}

bool FreeLibrary(HMODULE module) {
  return module && dlclose(module) == 0;
}

ModuleFile ClassifyModuleFile(const std::string& path) {
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return ModuleFile::kMissing;
  return FileMagic(path) == kElfMagic ? ModuleFile::kNative : ModuleFile::kForeign;
}

}  // namespace bw::host
