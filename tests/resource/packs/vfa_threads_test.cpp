// Label: threads
// The frame thread and the file-slot pool's worker read members of one pack at the same time.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "lib/vfa/vfa_writer.h"
#include "platform/stream.h"
#include "resource/packs/vfa_archive.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

void* AllocateVector(uint32_t size, void* argument, void*) {
  auto* v = static_cast<std::vector<uint8_t>*>(argument);
  v->assign(size, 0);
  return v->data();
}

TEST(VfaThreads, ReadsFromTwoThreadsGetTheirOwnMembers) {
  std::vector<tools::VfaMemberSource> members;
  std::mt19937 rng(5);
  for (int i = 0; i < 6; ++i) {
    std::vector<uint8_t> data(200 + 300 * i);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    members.push_back({"m" + std::to_string(i) + ".bin", data});
  }
  std::vector<uint8_t> pack;
  std::string message;
  ASSERT_TRUE(tools::BuildVfaPack("DATA.VFA", members, {}, pack, &message)) << message;
  test::TempDir dir;
  const auto path = dir.WriteFile("DATA.VFA", std::string(pack.begin(), pack.end()));
  int error = -1;
  Archive* archive = OpenVfaPack(path.c_str(), host::HostFile(), &error);
  ASSERT_NE(archive, nullptr) << error;

  auto reader = [&](uint32_t first, int* wrong) {
    for (int round = 0; round < 3000; ++round) {
      for (uint32_t i = first; i < members.size(); i += 2) {
        std::vector<uint8_t> got;
        if (archive->ReadByIndex(i, AllocateVector, &got, nullptr, nullptr) != kArchiveOk ||
            got != members[i].data) {
          ++*wrong;
        }
        int streamError = 0;
        Stream* stream = archive->OpenStreamByIndex(i, &streamError);
        if (stream) {
          stream->Release();
        } else {
          ++*wrong;
        }
      }
    }
  };
  int wrong[2] = {};
  std::thread other(reader, 1, &wrong[1]);
  reader(0, &wrong[0]);
  other.join();
  EXPECT_EQ(wrong[0] + wrong[1], 0) << "reads that got another read's bytes";
  archive->Release();
}

}  // namespace
}  // namespace bw
