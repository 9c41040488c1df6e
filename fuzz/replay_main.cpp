// Replays a fuzz target's seed corpus: every file below the folders named on the command line
// goes through the target once. Built into the test build so the sanitizers see each input.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    std::filesystem::recursive_directory_iterator it(argv[i], ec), end;
    if (ec) {
      std::fprintf(stderr, "replay: cannot read %s: %s\n", argv[i], ec.message().c_str());
      return 1;
    }
    for (; it != end; it.increment(ec)) {
      if (!it->is_regular_file()) continue;
      std::ifstream in(it->path(), std::ios::binary);
      std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++replayed;
    }
  }
  // An empty input is always worth a try, and proves the target runs at all.
  LLVMFuzzerTestOneInput(nullptr, 0);
  std::printf("replayed %zu inputs\n", replayed);
  return replayed > 0 ? 0 : 1;
}
