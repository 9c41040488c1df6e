// A copy of the built demo game for a test to spoil.
#pragma once

#include <filesystem>

namespace bw::test {

// Copies what the build put in the demo's game folder to `to`. A save folder left there by an
// earlier run of the demo (make run, or a run by hand) is not copied: the test starts as a first
// run does.
void CopyDemoGame(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace bw::test
