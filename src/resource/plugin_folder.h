// The plug-in files of a folder and their libraries, for the plug-in scans (*.ADL, *.GLL, *.SPI,
// *.SLL).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/module.h"

namespace bw {

// The engine paths of the files in folder (resolved against the application folder) whose
// names end with suffix (".gll", any case), in name order. False when the folder path cannot
// be built; a missing folder holds no files.
[[nodiscard]] bool ListPluginFiles(std::string_view folder, std::string_view suffix,
                                   std::vector<std::string>& paths);

// LoadPluginLibrary results.
constexpr int kPluginLibraryLoaded = 0;
constexpr int kPluginLibraryBadPath = 1;    // the path cannot be made absolute
constexpr int kPluginLibraryNotLoaded = 2;  // no such library, or it does not load

// Loads the plug-in library at path (an engine path resolved against the application folder).
[[nodiscard]] int LoadPluginLibrary(std::string_view path, host::HMODULE* module);

}  // namespace bw
