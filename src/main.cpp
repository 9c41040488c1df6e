// The brimwold program. Start-up grows with the engine; for now it parses the command line.
#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  std::string folder;
  for (int i = 1; i < argc; ++i) {
    if ((std::strcmp(argv[i], "/L") == 0 || std::strcmp(argv[i], "/l") == 0) && i + 1 < argc) {
      folder = argv[++i];
    }
  }
  std::fprintf(stderr, "brimwold: game folder %s\n", folder.empty() ? "." : folder.c_str());
  return 0;
}
