#include <gtest/gtest.h>

#include "object_families.h"
#include "support/fuzz_seeds.h"

namespace bw {
namespace {

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
