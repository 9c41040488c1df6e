// The plug-in files of a folder, for the plug-in scans (*.ADL, *.GLL, *.SPI).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace bw {

// The engine paths of the files in folder (resolved against the application folder) whose
// names end with suffix (".gll", any case), in name order. False when the folder path cannot
// be built; a missing folder holds no files.
bool ListPluginFiles(std::string_view folder, std::string_view suffix,
                     std::vector<std::string>& paths);

}  // namespace bw
