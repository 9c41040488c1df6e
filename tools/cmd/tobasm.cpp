// tobasm: assembles the text form of scenario scripts, the read-flag table and the read-text log
// into their files, or shows such a file as text.
//
//   tobasm [fault switches] SOURCE OUTPUT      assemble
//   tobasm -d FILE                             disassemble to standard output
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "lib/file_bytes.h"
#include "lib/tob/tob_assembler.h"
#include "lib/tool_exit.h"

namespace {

constexpr bw::tools::ToolUsage kUsage = {
    "tobasm: assembles the text form of scenario scripts (.TOB), the read-flag table\n"
    "(TGS_INIT.DAT) and the read-text log (TEXT_LOG.DAT) into their files, or shows such a file\n"
    "as text that assembles to the same bytes. The switches spoil the output on purpose, to test\n"
    "readers. The text form is described in tools/lib/tob/tob_assembler.h.",
    "usage: tobasm [--bad-magic] [--oversize-s1=N] [--oversize-s2=N] [--oversize-n=N]\n"
    "              [--unterminated-label] [--offset-past-code] [--no-end-byte]\n"
    "              [--lead-byte-last] [--bad-skip] [--function-132] [--kind-4]\n"
    "              [--long-string] [--link-place-outside] [--link-index-outside]\n"
    "              [--truncate=N] SOURCE OUTPUT\n"
    "       tobasm -d FILE\n"};

bool NumberArg(const char* arg, const char* name, unsigned long long& value) {
  size_t n = std::strlen(name);
  if (std::strncmp(arg, name, n) != 0) return false;
  value = std::strtoull(arg + n, nullptr, 0);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 1) return bw::tools::PrintUsage(kUsage);
  if (bw::tools::PrintHelpIfAsked(argc, argv, kUsage)) return bw::tools::kExitOk;
  bw::tob::FaultSwitches f;
  std::vector<const char*> files;
  bool disassemble = false;
  const struct {
    const char* name;
    bool* flag;
  } flags[] = {{"--bad-magic", &f.badMagic},
               {"--unterminated-label", &f.unterminatedLabel},
               {"--offset-past-code", &f.offsetPastCode},
               {"--no-end-byte", &f.noEndByte},
               {"--lead-byte-last", &f.leadByteLast},
               {"--bad-skip", &f.badSkip},
               {"--function-132", &f.function132},
               {"--kind-4", &f.kind4},
               {"--long-string", &f.longString},
               {"--link-place-outside", &f.linkPlaceOutside},
               {"--link-index-outside", &f.linkIndexOutside}};
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    unsigned long long v = 0;
    bool matched = false;
    for (const auto& flag : flags) {
      if (std::strcmp(a, flag.name) == 0) matched = *flag.flag = true;
    }
    if (matched) continue;
    if (std::strcmp(a, "-d") == 0) {
      disassemble = true;
    } else if (NumberArg(a, "--oversize-s1=", v)) {
      f.oversizeS1 = static_cast<uint32_t>(v);
    } else if (NumberArg(a, "--oversize-s2=", v)) {
      f.oversizeS2 = static_cast<uint32_t>(v);
    } else if (NumberArg(a, "--oversize-n=", v)) {
      f.oversizeN = static_cast<uint32_t>(v);
    } else if (NumberArg(a, "--truncate=", v)) {
      f.truncateTo = static_cast<size_t>(v);
    } else if (a[0] == '-' && a[1] != '\0') {
      return bw::tools::PrintUsage(kUsage);
    } else {
      files.push_back(a);
    }
  }
  std::vector<uint8_t> input;
  if (files.size() != (disassemble ? 1u : 2u)) return bw::tools::PrintUsage(kUsage);
  if (!bw::tools::ReadFileBytes(files[0], input)) {
    std::fprintf(stderr, "tobasm: cannot read %s\n", files[0]);
    return bw::tools::kExitFailed;
  }
  if (disassemble) {
    std::string text = bw::tob::Disassemble(input);
    if (text.rfind("error:", 0) == 0) {
      std::fprintf(stderr, "tobasm: %s: %s\n", files[0], text.c_str());
      return bw::tools::kExitFailed;
    }
    std::fputs(text.c_str(), stdout);
    return bw::tools::kExitOk;
  }
  bw::tob::AssembleResult r = bw::tob::Assemble(
      std::string_view(reinterpret_cast<const char*>(input.data()), input.size()), f);
  if (!r.ok) {
    std::fprintf(stderr, "tobasm: %s: %s\n", files[0], r.error.c_str());
    return bw::tools::kExitFailed;
  }
  return bw::tools::WriteFileBytes("tobasm", files[1], r.bytes) ? bw::tools::kExitOk
                                                                : bw::tools::kExitFailed;
}
