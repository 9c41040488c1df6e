// sobasm: assembles the text form of compiled main scripts into their files, or shows a code
// file as text.
//
//   sobasm [fault switches] SOURCE OUTPUT      assemble
//   sobasm -d FILE                             disassemble to standard output
//
// Fault switches spoil the output for testing readers: --bad-magic, --bad-terminator,
// --unterminated-names, --misplaced-relocation, --oversize-count=N, --oversize-size=N,
// --truncate=N.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "lib/file_bytes.h"
#include "lib/sob/sob_assembler.h"
#include "lib/tool_exit.h"

namespace {

bool ReadAll(const char* path, std::string& out) {
  std::vector<uint8_t> bytes;
  if (!bw::tools::ReadFileBytes(path, bytes)) return false;
  out.assign(bytes.begin(), bytes.end());
  return true;
}

bool NumberArg(const char* arg, const char* name, unsigned long long& value) {
  size_t n = std::strlen(name);
  if (std::strncmp(arg, name, n) != 0) return false;
  value = std::strtoull(arg + n, nullptr, 0);
  return true;
}

constexpr bw::tools::ToolUsage kUsage = {
    "sobasm: assembles the text form of compiled main scripts into their files, or shows such a\n"
    "file as text; the switches spoil the output on purpose, to test readers. The text form, the\n"
    "natives a script calls and a whole small game are in docs/making-a-game.md.",
    "usage: sobasm [--bad-magic] [--bad-terminator] [--unterminated-names]\n"
    "              [--misplaced-relocation] [--oversize-count=N] [--oversize-size=N]\n"
    "              [--truncate=N] SOURCE OUTPUT\n"
    "       sobasm -d FILE\n"};

int Usage() {
  return bw::tools::PrintUsage(kUsage);
}

}  // namespace

int main(int argc, char** argv) {
  if (bw::tools::PrintHelpIfAsked(argc, argv, kUsage)) return bw::tools::kExitOk;
  bw::sob::FaultSwitches faults;
  std::vector<const char*> files;
  bool disassemble = false;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    unsigned long long v = 0;
    if (std::strcmp(a, "-d") == 0) {
      disassemble = true;
    } else if (std::strcmp(a, "--bad-magic") == 0) {
      faults.badMagic = true;
    } else if (std::strcmp(a, "--bad-terminator") == 0) {
      faults.badTerminator = true;
    } else if (std::strcmp(a, "--misplaced-relocation") == 0) {
      faults.misplacedRelocation = true;
    } else if (std::strcmp(a, "--unterminated-names") == 0) {
      faults.unterminatedNames = true;
    } else if (NumberArg(a, "--oversize-count=", v)) {
      faults.oversizeCount = static_cast<uint32_t>(v);
    } else if (NumberArg(a, "--oversize-size=", v)) {
      faults.oversizeSize = static_cast<uint32_t>(v);
    } else if (NumberArg(a, "--truncate=", v)) {
      faults.truncateTo = static_cast<size_t>(v);
    } else if (a[0] == '-') {
      return Usage();
    } else {
      files.push_back(a);
    }
  }
  std::string input;
  if (disassemble) {
    if (files.size() != 1) return Usage();
    if (!ReadAll(files[0], input)) {
      std::fprintf(stderr, "sobasm: cannot read %s\n", files[0]);
      return 1;
    }
    std::string text = bw::sob::Disassemble(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(input.data()), input.size()));
    if (text.rfind("error:", 0) == 0) {
      std::fprintf(stderr, "sobasm: %s: %s\n", files[0], text.c_str());
      return 1;
    }
    std::fputs(text.c_str(), stdout);
    return 0;
  }
  if (files.size() != 2) return Usage();
  if (!ReadAll(files[0], input)) {
    std::fprintf(stderr, "sobasm: cannot read %s\n", files[0]);
    return 1;
  }
  bw::sob::AssembleResult result = bw::sob::Assemble(input, faults);
  if (!result.ok) {
    std::fprintf(stderr, "sobasm: %s: %s\n", files[0], result.error.c_str());
    return 1;
  }
  if (!bw::WriteFileAtomically(files[1], result.bytes)) {
    std::fprintf(stderr, "sobasm: cannot write %s\n", files[1]);
    return 1;
  }
  return 0;
}
