// A scene on two 800 x 600 canvas layers with a virtual clock: pictures made from their names, a
// turn that advances the clock, runs the effects and steps the shown page's transition, and fake
// keyword classes for the layer effects whose real classes live elsewhere.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "common/global.h"
#include "effects/builtin_effects.h"
#include "effects/display_effect.h"
#include "effects/effect_registries.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/pixel_library.h"
#include "host/clock.h"
#include "platform/subtractive_random.h"
#include "platform/timer_service.h"
#include "platform/trig_tables.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_interpreter.h"
#include "scenario/tgs/tgs_scene.h"
#include "scenario/tgs/tgs_test_world.h"
#include "script/script_file_source.h"
#include "support/bg_effect_rig.h"

namespace bw::test {

// A layer effect that runs for its last word in milliseconds (0: never ends) and reports the
// view (10, 20, 400, 300); its command function reports the same view at once.
class FakeLayerEffect final : public DisplayEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t) {
    return std::make_unique<FakeLayerEffect>();
  }
  static int Command(ArgList args) {
    ++commands;
    WriteView(ArgWords(args).From(4));
    return 0;
  }
  uint32_t GetKindId() const override { return kTaskKindLayerEffect; }
  const char* GetKeyword() const override { return "bg_zoom"; }
  uint8_t GetType() const override { return kEffectTypeLayer; }
  int Setup(TimerService* timers, EffectTarget, ArgWords args) override {
    runMs_ = args.Uint(args.Count() - 1);
    return timers ? 0 : 1;
  }
  int32_t Update(uint32_t now) override {
    if (!started_) start_ = now, started_ = true;
    return runMs_ != 0 && now - start_ >= runMs_ ? kTaskStepFinished : kTaskStepContinue;
  }
  void Stop() override {}
  int Query(ArgWords args) override {
    WriteView(args);
    return 0;
  }

  static inline int commands = 0;

 private:
  static void WriteView(ArgWords outs) {
    const int32_t view[4] = {10, 20, 400, 300};
    for (size_t i = 0; i < 4; ++i) {
      if (auto* out = outs.Pointer<int32_t>(i)) *out = view[i];
    }
  }
  uint32_t runMs_ = 0;
  uint32_t start_ = 0;
  bool started_ = false;
};

// A parts animation that keeps the words it was set up with, counts its set-ups and runs until
// stopped.
class PartsEffectSpy final : public DisplayEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t) {
    return std::make_unique<PartsEffectSpy>();
  }
  // Put first for "sp_parts", with nothing seen yet.
  static void Register(DcpPluginManager& effects) {
    EXPECT_EQ(effects.Register(Create, "sp_parts", kEffectTypeSprite, nullptr, nullptr, 0),
              kRegistered);
    file.clear(), x = y = priority = 0, hidden = -1, made = 0;
  }
  uint32_t GetKindId() const override { return kTaskKindLayerEffect; }
  const char* GetKeyword() const override { return "sp_parts"; }
  uint8_t GetType() const override { return kEffectTypeSprite; }
  int Setup(TimerService* timers, EffectTarget, ArgWords args) override {
    file = args.Text(0) ? args.Text(0) : "";
    x = args.Int(1), y = args.Int(2), priority = args.Int(3), hidden = args.Int(4);
    ++made;
    return timers ? 0 : 1;
  }
  int32_t Update(uint32_t) override { return kTaskStepContinue; }
  void Stop() override {}

  static inline std::string file;
  static inline int32_t x = 0, y = 0, priority = 0, hidden = -1;
  static inline int made = 0;
};

class SceneWorld : public TgsSceneHost, public ::testing::Test {
 protected:
  static void SetUpTestSuite() { BuildBlendTables(); }

  SceneWorld() {
    for (CanvasLayer* layer : {&shown_, &back_}) {
      EXPECT_EQ(layer->Create(kTgsScreenWidth, kTgsScreenHeight, 32, kLayerComposed), kLayerDone);
    }
    EXPECT_EQ(shown_.SetLinkedLayer(&back_), kLayerDone);
    // The fake comes first: the registry hands out the first class of a keyword.
    EXPECT_EQ(effects_.Register(FakeLayerEffect::Create, "bg_zoom", kEffectTypeLayer,
                                FakeLayerEffect::Command, nullptr, 0),
              kRegistered);
    RegisterApplicationKeywords(transitions_, effects_);
    FakeLayerEffect::commands = 0;
    TgsSceneLinks links;
    links.host = this;
    links.turn = [this] { return Turn(); };
    links.skipping = [this] { return skipping_; };
    links.backgrounds = &table_;
    scene_ = std::make_unique<TgsScene>(std::move(links));
  }
  ~SceneWorld() override {
    scene_.reset();
    timers_.Clear();
  }

  SurfaceLayer* PageLayer(int page) override { return page ? &back_ : &shown_; }
  bool ShowEffects() override { return showEffects_; }
  // "MISSING..." and rule 999 fail; a rule picture is an 8-bit ramp; other pictures are 200 x 400
  // of a colour from the name, with the origin at (100, 400).
  int LoadPicture(const std::string& name, ImageSurface& into, bool eightBit) override {
    ++loads_[name];
    if (name.rfind("MISSING", 0) == 0 || name.find("RULE999") != std::string::npos) return 2;
    if (eightBit) {
      (void)into.Create(kTgsScreenWidth, kTgsScreenHeight, 8, kImagePlain);
      for (int32_t y = 0; y < kTgsScreenHeight; ++y) {
        std::memset(into.GetRowPointer(y), y * 255 / kTgsScreenHeight, kTgsScreenWidth);
      }
      return 0;
    }
    (void)into.Create(200, 400, 32, kImagePlain);
    const uint32_t colour = 0xFF000000u | (uint32_t(std::hash<std::string>{}(name)) & 0xFFFFFF);
    (void)into.Fill(colour, nullptr);
    into.SetWord1(100);
    into.SetWord2(400);
    return 0;
  }

  // One frame of 100 ms.
  bool Turn() {
    now_ += 100;
    clock_.SetMilliseconds(now_);
    timers_.RunDue(now_);
    if (LayerFilter* filter = shown_.GetSource()) {
      (void)filter->Update(now_);
      if (filter->IsDone()) shown_.DetachSource(shown_.GetApplyOnDetach());
    }
    ++turns_;
    return true;
  }
  static ImageSurface* BackgroundOf(CanvasLayer& layer) {
    ImageSurface* picture = nullptr;
    layer.GetCompositionLayer()->GetBackground(&picture, nullptr, nullptr, nullptr, nullptr,
                                               nullptr);
    return picture;
  }

  host::VirtualClock clock_{1000};
  ScopedGlobal<host::ClockSource> publishedClock_{&clock_};
  ScopedPixelLibrary library_{&BuiltInPixelLibrary()};
  TimerService timers_;
  ScopedGlobal<TimerService> publishedTimers_{&timers_};
  DcpPluginManager effects_;
  ScopedGlobal<DcpPluginManager> publishedEffects_{&effects_};
  TcpPluginManager transitions_;
  ScopedGlobal<TcpPluginManager> publishedTransitions_{&transitions_};
  CanvasLayer shown_, back_;
  std::vector<int32_t> table_;
  std::map<std::string, int> loads_;
  uint32_t now_ = 1000;
  int turns_ = 0;
  bool skipping_ = false;
  bool showEffects_ = true;
  std::unique_ptr<TgsScene> scene_;
};

// The same scene with the registries holding the real effect and transition classes.
class RealEffectsWorld : public SceneWorld {
 protected:
  RealEffectsWorld() {
    effects_.UnloadAll();
    transitions_.UnloadAll();
    RegisterScriptHostKeywords(transitions_, effects_, &random_);
    RegisterApplicationKeywords(transitions_, effects_);
    EXPECT_EQ(scene_->LoadBackground("BG1A", 0), 0);
    EXPECT_EQ(scene_->LoadBackground("BG2A", 1), 0);
  }
  // Animated, then with effects off (the immediate form).
  template <typename F>
  void BothForms(F run) {
    for (bool shown : {true, false}) {
      SCOPED_TRACE(shown ? "animated" : "immediate");
      showEffects_ = shown;
      run();
    }
    showEffects_ = true;
  }

  TrigTables trig_;
  ScopedGlobal<TrigTables> publishedTrig_{&trig_};
  SubtractiveRandom random_;
};

// The scene run by frames of the plain engine over scripts held in memory.
class ScriptedSceneWorld : public SceneWorld, protected EngineFrames {
 protected:
  ScriptedSceneWorld() {
    host.sceneHost = this;
    host.settings.fastEffects = true;  // no closing fade: the frame's turns run no transition
  }
  std::unique_ptr<TgsFrame> NewFrame() { return EngineFrames::NewFrame("1\n"); }
  // A frame that ran lines until the message waits and the application quits.
  std::unique_ptr<TgsFrame> RunToTheWait(const std::string& lines) {
    host.turns = 0;
    host.quitAtTurn = 3;
    auto frame = Begin(lines);
    EXPECT_EQ(TgsRunStep(*frame), -1);
    return frame;
  }
  // The saved game loaded into frame and rebuilt, as the step native resumes it.
  void LoadInto(TgsFrame& frame, const std::vector<uint8_t>& saved) {
    ByteReader in(saved);
    ASSERT_EQ(frame.LoadScene(in), 0);
    host.turns = 0;
    ASSERT_EQ(frame.BeginRun(true), 0);
  }
};

}  // namespace bw::test
