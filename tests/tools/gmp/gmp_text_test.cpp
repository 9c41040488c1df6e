// The GMP text form: each fault line makes the file the reader refuses with its code, and lines
// it cannot read are refused with their number.
#include <gtest/gtest.h>

#include <string>

#include "lib/gmp/gmp_writer.h"
#include "resource/images/gmp_file.h"

namespace bw {
namespace {

constexpr const char* kScreen =
    "background BG.BMP\n"
    "part 1 10 20 255 1 30 40 4 OK.BMP\n"
    "part 2 0 0 128 0 8 8 0 NO.BMP\n";

int Refusal(const std::string& extra, bool layerOnlyAllowed = false) {
  GmpFile file;
  tools::GmpFaults faults;
  std::string error;
  EXPECT_TRUE(tools::ParseGmpText(kScreen + extra, &file, &faults, &error)) << error;
  GmpFile back;
  return ParseGmp(tools::WriteGmp(file, faults), layerOnlyAllowed, &back);
}

TEST(GmpText, EveryFaultLineMakesTheFileItsReaderRefuses) {
  const struct {
    const char* line;
    int code;
  } cases[] = {
      {"", kGmpLoaded},
      {"fault magic", kGmpBadFile},
      {"fault count 3", kGmpBadFile},
      {"fault namelength 200", kGmpBadFile},
      {"fault kind 10", kGmpUnknownKind},
      {"fault kind 0", kGmpUnknownKind},
      {"fault layeronly", kGmpUnknownKind},
      {"fault cut magic", kGmpBadFile},
      {"fault cut background", kGmpBadFile},
      {"fault cut count", kGmpBadFile},
      {"fault cut namelength", kGmpBadFile},
      {"fault cut name", kGmpBadFile},
      {"fault cut record", kGmpBadFile},
  };
  for (const auto& c : cases) EXPECT_EQ(Refusal(std::string(c.line) + "\n"), c.code) << c.line;
  EXPECT_EQ(Refusal("fault layeronly\n", true), kGmpLoaded) << "the layer loader takes kind 0";
}

TEST(GmpText, LinesItCannotReadAreRefusedByNumber) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"background\n", "line 1: background needs a name"},
      {"# a screen\npart 1 2\n", "line 2: part needs kind x y alpha visible"},
      {"part 3 0 0 255 1 8 8\n", "line 1: part needs width height state"},
      {"part 0 0 0 255 1\n", "line 1: part needs a picture name"},
      {"fault cut middle\n", "line 1: unknown cut"},
      {"fault weather\n", "line 1: unknown fault"},
      {"button 1\n", "line 1: unknown item"},
  };
  for (const auto& c : cases) {
    GmpFile file;
    tools::GmpFaults faults;
    std::string error;
    EXPECT_FALSE(tools::ParseGmpText(c.text, &file, &faults, &error)) << c.text;
    EXPECT_EQ(error, c.error);
  }
}

}  // namespace
}  // namespace bw
