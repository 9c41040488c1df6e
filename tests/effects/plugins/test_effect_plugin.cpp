// An effect plug-in as a game ships one: three objects whose set-up answers its first word.
// Built as effects (*.DCP) or as filters (*.TCP), whole or broken.
#include "effects/display_effect.h"
#include "effects/filter_effect.h"

namespace {

const char* const kNames[] = {"fx_one", "fx_two", "fx_screen"};
const uint32_t kKinds[] = {1, 0x101, 3};  // only the low byte counts

#ifdef PLUGIN_EFFECTS
class PluginEffect final : public bw::DisplayEffect {
 public:
  explicit PluginEffect(uint32_t index) : index_(index) {}
  int32_t Update(uint32_t) override { return 0; }
  void Stop() override {}
  const char* GetKeyword() const override { return kNames[index_]; }
  uint8_t GetType() const override { return static_cast<uint8_t>(kKinds[index_]); }
  int Init(bw::ArgWords args) override { return args.Int(0); }
  int Setup(bw::TimerService*, bw::EffectTarget, bw::ArgWords args) override { return args.Int(0); }

 private:
  uint32_t index_;
};
using Object = bw::DisplayEffect;
#else
class PluginFilter final : public bw::FilterEffect {
 public:
  explicit PluginFilter(uint32_t index) : index_(index) {}
  uint8_t GetKind() const override { return static_cast<uint8_t>(kKinds[index_]); }
  const char* GetKeyword() const override { return kNames[index_]; }
  int Advance(uint32_t) override { return 0; }
  int IsFinished() const override { return 0; }
  int Draw(const bw::FilterDrawRequest&) override { return 0; }
  using bw::FilterEffect::SetUp;
  int SetUp(bw::SurfaceLayer*, bw::ArgWords args) override { return args.Int(0); }

 private:
  uint32_t index_;
};
using Object = bw::FilterEffect;
#endif

}  // namespace

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT uint32_t GetObjectNum() {
  return 3;
}
EXPORT Object* GetObject(uint32_t index) {
#ifdef PLUGIN_EFFECTS
  return index < 3 ? new PluginEffect(index) : nullptr;
#else
  return index < 3 ? new PluginFilter(index) : nullptr;
#endif
}
EXPORT const char* GetObjectName(uint32_t index) {
#ifdef PLUGIN_NULL_NAME
  if (index == 2) return nullptr;
#endif
  return index < 3 ? kNames[index] : nullptr;
}
#ifndef PLUGIN_WITHOUT_TYPE
EXPORT uint32_t GetObjectType(uint32_t index) {
  return index < 3 ? kKinds[index] : 0;
}
#endif
#ifdef PLUGIN_EFFECTS
EXPORT int CallbackAssistFunc(bw::ArgList args) {
  return static_cast<int>(args.size());
}
EXPORT int CallbackAssistFunc2(bw::ArgWords args) {
  return args.Int(0) + args.Int(1);
}
#endif
