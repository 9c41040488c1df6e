// A 64 x 32 layer and an 8-bit one no filter draws into, the shared trig tables and both keyword
// registries, for the filters' tests: set-ups, their refusals and the progress laws.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "common/global.h"
#include "effects/builtin_effects.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "platform/subtractive_random.h"
#include "platform/trig_tables.h"

namespace bw {

class FilterEffectRig : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildBlendTables();
    random.Seed(1234);
    ASSERT_EQ(layer.Create(64, 32, 32, false), kLayerDone);
    ASSERT_EQ(shallow.Create(64, 32, 8, false), kLayerDone);
    RegisterApplicationKeywords(transitions, effects);
    RegisterScriptHostKeywords(transitions, effects, &random);
  }
  // A filter of the registry set up on the layer with words; null when refused.
  std::unique_ptr<FilterEffect> Make(const char* keyword, ArgWords words) {
    std::unique_ptr<FilterEffect> filter(transitions.Create(keyword));
    EXPECT_NE(filter, nullptr) << keyword;
    if (!filter) return nullptr;
    return filter->SetUp(&layer, words) == kFilterSetUpDone ? std::move(filter) : nullptr;
  }

  struct SetUpCase {
    const char* keyword;
    SurfaceLayer* target;
    std::vector<ArgWord> words;
    int code;
  };
  void ExpectSetUpCodes(const std::vector<SetUpCase>& cases) {
    for (const SetUpCase& c : cases) {
      std::unique_ptr<FilterEffect> filter(transitions.Create(c.keyword));
      EXPECT_EQ(filter->SetUp(c.target, ArgWords(c.words.data(), c.words.size())), c.code)
          << c.keyword << " with " << c.words.size() << " words";
    }
  }

  // A filter's progress at clock times, the first of which starts it, and the progress it ends on.
  struct ProgressLaw {
    const char* keyword;
    std::vector<ArgWord> words;
    std::vector<std::pair<uint32_t, int32_t>> at;
    int32_t end;
  };
  template <typename Filter>
  void ExpectProgressLaws(const std::vector<ProgressLaw>& laws) {
    for (const ProgressLaw& c : laws) {
      SCOPED_TRACE(c.keyword);
      std::unique_ptr<FilterEffect> filter =
          Make(c.keyword, ArgWords(c.words.data(), c.words.size()));
      ASSERT_NE(filter, nullptr);
      auto* typed = static_cast<Filter*>(filter.get());
      if constexpr (requires { typed->EndProgress(); }) {
        EXPECT_EQ(typed->EndProgress(), c.end);
      }
      for (const auto& [clock, progress] : c.at) {
        (void)filter->Advance(clock);
        EXPECT_EQ(typed->Progress(), progress) << "at " << clock;
      }
      EXPECT_EQ(filter->IsFinished(), typed->Progress() == c.end);
    }
  }

  TrigTables trig;
  ScopedGlobal<TrigTables> publishedTrig{&trig};
  SubtractiveRandom random;
  TcpPluginManager transitions;
  DcpPluginManager effects;
  OffscreenLayer layer, shallow;
};

}  // namespace bw
