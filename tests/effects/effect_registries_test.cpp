// The effect bases and the keyword registries, built-in and loaded from native plug-ins. The
// unsupported slots' answer is every keyword's to give through the natives.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "common/global.h"
#include "effects/display_effect.h"
#include "effects/effect_registries.h"
#include "effects/sp_effect_rig.h"
#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "host/host_path.h"
#include "host/trust.h"
#include "platform/timer_service.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

bool lowSpec = false;

// An effect whose set-up answers its first word; counts its deletions and the spans its resumes
// shift its clock by.
class CountedEffect final : public DisplayEffect {
 public:
  explicit CountedEffect(int* deleted = nullptr) : deleted_(deleted) {}
  ~CountedEffect() override {
    if (deleted_) ++*deleted_;
  }
  int32_t Update(uint32_t) override { return 0; }
  void Stop() override {}
  const char* GetKeyword() const override { return "counted"; }
  uint8_t GetType() const override { return kEffectTypeLayer; }
  int Init(ArgWords args) override { return args.Int(0); }
  int Setup(TimerService*, EffectTarget, ArgWords args) override { return args.Int(0); }
  uint32_t shifted = 0;

 protected:
  void ShiftStartTimes(uint32_t spanMs) override { shifted += spanMs; }

 private:
  int* deleted_;
};

TEST(Hooks, StartedEffectsRestoreThePriorityOnceDisarmedOnesNeverAndOnlyTheLastResumeShifts) {
  const RunningHooks hooks;
  lowSpec = false;
  SetLowSpecQuery([] { return lowSpec; });
  auto* first = new CountedEffect;
  auto* second = new CountedEffect;
  first->NotifyStart();
  first->NotifyStart();
  second->NotifyStart();
  EXPECT_EQ(hooks.lowered, 2) << "a second NotifyStart of one effect does nothing";
  delete first;
  EXPECT_EQ(hooks.restored, 1);
  delete second;
  EXPECT_EQ(hooks.restored, 2);

  lowSpec = true;
  {
    CountedEffect effect;
    effect.DisarmIfLowSpec();
    effect.NotifyStart();
  }
  EXPECT_EQ(std::pair(hooks.lowered, hooks.restored), std::pair(2, 2))
      << "a low-spec disarmed effect touched the priority";
  SetLowSpecQuery(nullptr);

  // Only the last resume shifts the clock.
  CountedEffect effect;
  effect.Pause(1000);
  effect.Pause(1200);
  EXPECT_EQ(effect.Resume(1500), 1u);
  EXPECT_EQ(effect.shifted, 0u);
  EXPECT_EQ(effect.Resume(1800), 800u);
  EXPECT_EQ(effect.shifted, 800u) << "the whole span since the first pause";
  EXPECT_EQ(effect.Resume(1900), 0u);
  EXPECT_EQ(effect.shifted, 800u) << "an unpaired resume moves nothing";
}

const std::string kPluginDir = EFFECT_TEST_PLUGIN_DIR;

std::string Plugin(const std::string& name) {
  std::string path;
  EXPECT_EQ(host::LinuxPathToEnginePath(kPluginDir + "/" + name, path), host::kPathOk);
  return path;
}

class CountedFilter final : public FilterEffect {
 public:
  explicit CountedFilter(int* deleted) : deleted_(deleted) {}
  ~CountedFilter() override { ++*deleted_; }
  uint8_t GetKind() const override { return kFilterKindOneLayer; }
  const char* GetKeyword() const override { return "counted"; }
  int Advance(uint32_t) override { return 0; }
  int IsFinished() const override { return 0; }
  int Draw(const FilterDrawRequest&) override { return 0; }
  using FilterEffect::SetUp;
  int SetUp(SurfaceLayer*, ArgWords args) override {
    return args.Int(0) == 0 ? 0 : kFilterBadArguments;
  }

 private:
  int* deleted_;
};

int effectsDeleted = 0, filtersDeleted = 0, initialised = 0, finalised = 0;
std::unique_ptr<DisplayEffect> MakeEffect(uint32_t) {
  return std::make_unique<CountedEffect>(&effectsDeleted);
}
std::unique_ptr<FilterEffect> MakeFilter(uint32_t) {
  return std::make_unique<CountedFilter>(&filtersDeleted);
}
int ZoomCommand(ArgWords args) {
  return args.Int(0) * 100 + args.Int(1) * 10 + args.Int(2);
}

class EffectRegistries : public ::testing::Test {
  host::ScopedGameTrust trust_{true};  // the test plug-ins are native modules
 protected:
  void SetUp() override { effectsDeleted = filtersDeleted = initialised = finalised = 0; }
};

TEST_F(EffectRegistries, LookUpsTakeTheFirstRecordAndFailedSetUpsReleaseTheObject) {
  DcpPluginManager effects;
  EXPECT_EQ(effects.Register(
                MakeEffect, "bg_zoom", 0, [](ArgList a) { return ZoomCommand(a); }, ZoomCommand, 0),
            kRegistered);
  EXPECT_EQ(effects.Register([](uint32_t) -> std::unique_ptr<DisplayEffect> { return nullptr; },
                             "bg_zoom", 0, nullptr, nullptr, 7),
            kRegistered)
      << "duplicates are not refused";
  EXPECT_EQ(effects.Register(nullptr, "bg_rot", 0, nullptr, nullptr, 0), kRegisterIncomplete);
  EXPECT_EQ(effects.Register(MakeEffect, nullptr, 0, nullptr, nullptr, 0), kRegisterIncomplete);
  EXPECT_EQ(effects.Records().size(), 2u);

  uint32_t extra = 99;
  EXPECT_EQ(effects.FindFactory("bg_zoom", &extra), &MakeEffect);
  EXPECT_EQ(extra, 0u) << "the first record's extra word";
  EXPECT_EQ(effects.FindFactory("Bg_zoom", &extra), nullptr) << "letter case counts";
  EXPECT_EQ(effects.FindArgsCommand("bg_zoom"), &ZoomCommand);
  EXPECT_EQ(effects.FindCommand("bg_rot"), nullptr);

  DisplayEffect* made = effects.CreateAndSetUp("bg_zoom", {0});
  ASSERT_NE(made, nullptr);
  delete made;
  EXPECT_EQ(effects.CreateAndSetUp("bg_zoom", {4}), nullptr);
  EXPECT_EQ(effectsDeleted, 2) << "a refused set-up with hold count 0 destroys the object";
  EXPECT_EQ(effects.Create("nothing"), nullptr);

  TcpPluginManager transitions;
  EXPECT_EQ(0, transitions.Register(
                   MakeFilter, "ripple", 0, 0, [] { ++initialised; }, [] { ++finalised; }));
  EXPECT_EQ(transitions.CreateAndSetUp(nullptr, "ripple", {1}), nullptr);
  EXPECT_EQ(filtersDeleted, 1);
  EXPECT_EQ(initialised, 1) << "the initialiser runs even when the set-up then fails";
  FilterEffect* filter = transitions.CreateAndSetUpArray(nullptr, "ripple", ArgWords());
  ASSERT_NE(filter, nullptr);
  filter->shareCount = 1;
  ReleaseFilter(filter);
  EXPECT_EQ(filtersDeleted, 1) << "a second holder keeps the filter";
  ReleaseFilter(filter);
  EXPECT_EQ(std::tuple(filtersDeleted, initialised), std::tuple(2, 1)) << "once only";
  transitions.UnloadAll();
  EXPECT_EQ(finalised, 1);
  EXPECT_TRUE(transitions.Records().empty());
}

TEST_F(EffectRegistries, PluginRecordsShareTheirLibrary) {
  DcpPluginManager effects;
  ASSERT_EQ(effects.LoadPlugin(Plugin("TESTFX.DCP")), kEffectPluginLoaded);
  ASSERT_EQ(effects.Records().size(), 3u);
  ASSERT_EQ(effects.Modules().size(), 1u);
  // The kind is the low byte of the type.
  EXPECT_EQ(std::tuple(effects.Modules()[0]->count, effects.Records()[1]->kind,
                       effects.Records()[2]->extra),
            std::tuple(2, 1, 2u));
  ASSERT_NE(effects.FindCommand("fx_two"), nullptr);
  EXPECT_EQ(effects.FindCommand("fx_two")({5, 6, 7, 8}), 4);
  EXPECT_EQ(effects.FindArgsCommand("fx_screen")({5, 6}), 11);

  DisplayEffect* effect = effects.CreateAndSetUp("fx_two", {0});
  ASSERT_NE(effect, nullptr);
  EXPECT_STREQ(effect->GetKeyword(), "fx_two");
  effect->keepCount = 1;
  ReleaseEffect(effect);
  EXPECT_EQ(effect->keepCount, 0u);
  ReleaseEffect(effect);

  effects.UnloadKind(kEffectTypeScreen);
  ASSERT_EQ(effects.Modules().size(), 1u) << "the library keeps its other records";
  EXPECT_EQ(effects.Modules()[0]->count, 1);
  effects.UnloadKind(kEffectTypeSprite);
  EXPECT_TRUE(effects.Modules().empty()) << "the last record frees the library";
  EXPECT_TRUE(effects.Records().empty());
}

TEST_F(EffectRegistries, FailedLoadsLeaveNothingBehind) {
  DcpPluginManager effects;
  EXPECT_EQ(0, effects.Register(MakeEffect, "bg_zoom", 0, nullptr, nullptr, 0));
  EXPECT_EQ(effects.LoadPlugin(Plugin("NOTYPE.DCP")), kEffectPluginMissingExport);
  EXPECT_EQ(effects.LoadPlugin(Plugin("NULLNAME.DCP")), kEffectPluginFailed)
      << "a null keyword fails the load";
  EXPECT_EQ(std::tuple(effects.Records().size(), effects.Modules().size()), std::tuple(1u, 0u))
      << "the records appended before the failure are gone";
  EXPECT_EQ(effects.LoadPlugin(Plugin("MISSING.DCP")), kEffectPluginNotLoaded);

  test::TempDir dir;
  std::filesystem::copy_file(kPluginDir + "/TESTFX.DCP", dir.path() / "a.dcp");
  std::filesystem::copy_file(kPluginDir + "/NOTYPE.DCP", dir.path() / "b.DCP");
  dir.WriteFile("c.tcp", "not for this registry");
  std::string folder;
  ASSERT_EQ(host::LinuxPathToEnginePath(dir.path().string(), folder), host::kPathOk);
  EXPECT_EQ(effects.LoadPluginFolder(folder), 1) << "one file failed";
  EXPECT_EQ(effects.Records().size(), 4u);
}

// A library that goes takes its own effects and filters with it, before their code goes; the
// others keep running.
TEST_F(EffectRegistries, UnloadingEndsOnlyTheLibrarysOwnObjects) {
  TimerService timers;
  ScopedGlobal<TimerService> publishedTimers(&timers);
  DisplayManager display;
  ScopedGlobal<DisplayManager> publishedDisplay(&display);
  int deleted = 0;
  DcpPluginManager effects;
  ASSERT_EQ(effects.LoadPlugin(Plugin("TESTFX.DCP")), kEffectPluginLoaded);
  ASSERT_EQ(timers.Add(std::unique_ptr<TimedTask>(effects.Create("fx_one")), 0, 0, 0), kTaskAdded);
  ASSERT_EQ(timers.Add(std::make_unique<CountedEffect>(&deleted), 0, 0, 0), kTaskAdded);
  effects.UnloadAll();
  EXPECT_EQ(timers.Count(), 1u) << "the library's effect is gone before its code";
  EXPECT_EQ(deleted, 0) << "the built-in one runs on";

  TcpPluginManager transitions;
  ASSERT_EQ(transitions.LoadPlugin(Plugin("TESTTR.TCP")), kEffectPluginLoaded);
  CanvasLayer *theirs = nullptr, *ours = nullptr;
  ASSERT_EQ(display.CreateCanvasLayer(&theirs, 8, 8, 32, kLayerComposed), 0);
  ASSERT_EQ(display.CreateCanvasLayer(&ours, 8, 8, 32, kLayerComposed), 0);
  ASSERT_EQ(theirs->SetLinkedLayer(ours), kLayerDone);
  ASSERT_EQ(ours->SetLinkedLayer(theirs), kLayerDone);
  FilterEffect* filter = transitions.CreateAndSetUp(nullptr, "fx_one", {0});
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(filter->GetKind(), 1);
  ASSERT_EQ(theirs->AttachSource(filter, kAttachPlain, false, false), kLayerDone);
  ASSERT_EQ(ours->AttachSource(new CountedFilter(&deleted), kAttachPlain, false, false),
            kLayerDone);
  transitions.UnloadAll();
  EXPECT_FALSE(theirs->HasSource());
  EXPECT_TRUE(ours->HasSource());
  EXPECT_EQ(deleted, 0);
  timers.Clear();
}

}  // namespace
}  // namespace bw
