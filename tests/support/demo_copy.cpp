#include "support/demo_copy.h"

#include "common/sjis.h"

namespace bw::test {

void CopyDemoGame(const std::filesystem::path& from, const std::filesystem::path& to) {
  namespace fs = std::filesystem;
  fs::create_directories(to);
  for (const fs::directory_entry& entry : fs::directory_iterator(from)) {
    if (entry.is_directory() && sjis::EqualsNoCase(entry.path().filename().string(), "SAVEDATA"))
      continue;
    fs::copy(entry.path(), to / entry.path().filename(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  }
}

}  // namespace bw::test
