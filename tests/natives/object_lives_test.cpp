// Every family of objects the natives hand a main script, played through the script's native
// table as a game plays it: made, used, released, used again by the handle the script kept,
// released again, and released while a task, effect or part still works on it.
#include <gtest/gtest.h>

#include <string>

#include "object_families.h"
#include "support/fuzz_seeds.h"

namespace bw {
namespace {

using fuzz::ObjectFamily;
using fuzz::ObjectWorld;

constexpr uint32_t kWord = 3;

const ObjectFamily& Family(size_t index) {
  return fuzz::ObjectFamilies()[index];
}

bool Names(ObjectWorld& w, uint32_t handle) {
  ScriptObjectType type{};
  return w.Handles().Lookup(handle, &type) != nullptr;
}

// What the script's handle gets once its object is gone: each use's refusal, and the release's
// answer for a handle given a second time. The handle names nothing once a frame has passed (a
// removed task is deleted by the next pass).
void ExpectGone(ObjectWorld& w, const ObjectFamily& f, uint32_t handle) {
  for (size_t i = 0; i < f.uses.size(); ++i) {
    EXPECT_EQ(f.uses[i].call(w, handle, kWord + i), f.uses[i].gone)
        << "use " << i << " of a gone object";
  }
  EXPECT_EQ(f.release(w, handle), f.releasedAgain) << "released again";
  w.Pass(16);
  EXPECT_FALSE(Names(w, handle)) << "the handle goes with its object";
}

class ObjectLives : public ::testing::TestWithParam<size_t> {};

TEST_P(ObjectLives, MadeUsedReleasedAndUsedAgain) {
  const ObjectFamily& f = Family(GetParam());
  ObjectWorld w;
  const uint32_t handle = f.create(w);
  ASSERT_NE(handle, 0u);
  ScriptObjectType type{};
  ASSERT_NE(w.Handles().Lookup(handle, &type), nullptr);
  EXPECT_EQ(type, f.type);
  for (size_t i = 0; i < f.uses.size(); ++i) {
    EXPECT_NE(f.uses[i].call(w, handle, kWord + i), f.uses[i].gone)
        << "use " << i << " of a live object";
  }
  w.Pass(50);
  EXPECT_EQ(f.release(w, handle), f.released);
  ExpectGone(w, f, handle);
  w.Pass(50);
}

TEST_P(ObjectLives, ReleasedWhileSomethingWorksOnIt) {
  const ObjectFamily& f = Family(GetParam());
  if (!f.busy) GTEST_SKIP() << "nothing works on a " << f.name;
  ObjectWorld w;
  const uint32_t handle = f.create(w);
  ASSERT_NE(handle, 0u);
  const uint32_t user = f.busy(w, handle);
  ASSERT_NE(user, 0u) << "something works on it";
  w.Pass(100);
  EXPECT_EQ(f.release(w, handle), f.released);
  if (f.afterwards) f.afterwards(w, user);
  w.Pass(500);
  ExpectGone(w, f, handle);
}

std::string FamilyName(const ::testing::TestParamInfo<size_t>& info) {
  std::string name;
  for (char c : std::string(Family(info.param).name)) name += std::isalnum(uint8_t(c)) ? c : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Families, ObjectLives,
                         ::testing::Range(size_t{0}, fuzz::ObjectFamilies().size()), FamilyName);

// The object fuzz target's seeds: each family played as the family tests play it.
TEST(ObjectLivesFuzzSeeds, MatchTheCommittedCorpus) {
  test::FuzzSeeds seeds;
  const auto& families = fuzz::ObjectFamilies();
  for (size_t f = 0; f < families.size(); ++f) {
    std::string name;
    for (char c : std::string(families[f].name)) name += c == ' ' ? '_' : c;
    seeds[name] = fuzz::FamilyPlay(f);
  }
  test::CheckOrWriteFuzzSeeds("object_lives", seeds);
}

}  // namespace
}  // namespace bw
