// tobasm: assembles the text form of scenario scripts, the read-flag table and the read-text log
// into their files, or shows such a file as text.
//
//   tobasm [fault switches] SOURCE OUTPUT      assemble
//   tobasm -d FILE                             disassemble to standard output
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "lib/file_bytes.h"
#include "lib/tob/tob_assembler.h"
#include "lib/tool_args.h"
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

int Wrong(std::string_view what) {
  return bw::tools::UsageError("tobasm", kUsage, what);
}

// "--name=N": false when arg is another switch; else *ok says whether N reads as a number.
template <typename T>
bool NumberArg(std::string_view arg, std::string_view name, T& value, bool* ok) {
  if (!arg.starts_with(name)) return false;
  *ok = bw::tools::ParseNumber(arg.substr(name.size()), &value);
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
    const std::string_view a = argv[i];
    bool matched = false;
    for (const auto& flag : flags) {
      if (a == flag.name) matched = *flag.flag = true;
    }
    if (matched) continue;
    bool number = true;
    if (a == "-d") {
      disassemble = true;
    } else if (NumberArg(a, "--oversize-s1=", f.oversizeS1, &number) ||
               NumberArg(a, "--oversize-s2=", f.oversizeS2, &number) ||
               NumberArg(a, "--oversize-n=", f.oversizeN, &number) ||
               NumberArg(a, "--truncate=", f.truncateTo, &number)) {
      if (!number) {
        return Wrong(std::string(a.substr(0, a.find('=') + 1)) + " needs a number, not \"" +
                     std::string(a.substr(a.find('=') + 1)) + "\"");
      }
    } else if (a.size() > 1 && a[0] == '-') {
      return Wrong("unknown switch " + std::string(a));
    } else {
      files.push_back(argv[i]);
    }
  }
  std::vector<uint8_t> input;
  if (files.size() != (disassemble ? 1u : 2u)) {
    return Wrong(disassemble ? "-d takes one FILE" : "give a SOURCE and an OUTPUT");
  }
  if (!bw::tools::ReadFileBytes(files[0], input)) {
    std::fprintf(stderr, "tobasm: cannot read %s\n", files[0]);
    return bw::tools::kExitFailed;
  }
  if (disassemble) {
    std::string text = bw::tob::Disassemble(input);
    if (text.rfind("error: ", 0) == 0) {
      return bw::tools::Failure("tobasm", std::string(files[0]) + ": " + text.substr(7));
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
