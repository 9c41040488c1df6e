#include "natives/keyword_effect_natives.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/global.h"
#include "effects/effect_registries.h"
#include "graphics/layers/surface_layer.h"
#include "graphics/surface/sprite.h"
#include "natives/object_casts.h"
#include "natives/render_natives.h"
#include "platform/timer_service.h"

namespace bw {

class HvdAnimation;
class RenderItem;

namespace {

constexpr int kSetupChannel = 0;
constexpr int kCommandChannel = 1;
constexpr int kQueryChannel = 2;
constexpr int kArgsCommandChannel = 3;

ScriptHandles& Handles(NativeArgs& a) {
  return a.Host().Handles();
}

DcpPluginManager* EffectKeywords() {
  return Global<DcpPluginManager>::Get();
}

// The letters of one channel of kinds; of a channel of two forms, the one that word 0 picks.
std::string_view ChannelLetters(const char* kinds, int channel, uint32_t firstWord) {
  std::string_view all = kinds ? kinds : "";
  for (int c = 0; c < channel; ++c) {
    const size_t end = all.find(kArgChannelEnd);
    all = end == std::string_view::npos ? std::string_view() : all.substr(end + 1);
  }
  std::string_view letters = all.substr(0, all.find(kArgChannelEnd));
  const size_t split = letters.find(kArgFormEnd);
  if (split == std::string_view::npos) return letters;
  return firstWord == 0 ? letters.substr(0, split) : letters.substr(split + 1);
}

// The words a script passes on to an effect or a filter, made pointer-sized by the kinds the
// keyword declares: texts from checked guest addresses, objects from handles, out words through
// slots written back after the call. Only those words may be read as pointers.
class EffectArgWords {
 public:
  static constexpr size_t kMaxWords = 32;

  // Reads from word first on, up to kMaxWords or the arena's end (the script's words may end
  // there); false when a text or out word lies outside guest memory (the memory faults).
  bool Read(NativeArgs& a, uint32_t first, const char* kinds, int channel) {
    texts_.reserve(kMaxWords);
    std::string_view letters;
    for (uint32_t i = 0; i < kMaxWords; ++i) {
      uint32_t at = a.WordAddress(first + i), word = 0;
      if (at == 0 || !a.Memory().Valid(at, 4)) break;
      a.Memory().Read32(at, word);
      if (i == 0) letters = ChannelLetters(kinds, channel, word);
      const char kind = i < letters.size() ? letters[i] : kArgInteger;
      ArgWord value = 0;
      if (!Convert(a, kind, word, i, &value)) return false;
      if (kind != kArgInteger) pointers_ |= uint64_t{1} << i;
      words_.push_back(value);
    }
    return true;
  }
  ArgWords Words() const { return ArgWords(words_.data(), words_.size(), pointers_); }
  void WriteBack(NativeArgs& a) const {
    for (const auto& [address, index] : outs_)
      a.Memory().Write32(address, uint32_t(outValues_[index]));
  }

 private:
  bool Convert(NativeArgs& a, char kind, uint32_t word, size_t i, ArgWord* value) {
    ScriptHandles& handles = Handles(a);
    switch (kind) {
      case kArgText:
        if (word == 0) return true;
        texts_.emplace_back();
        if (!a.Memory().ReadCString(word, texts_.back(), a.Memory().Top())) return false;
        *value = Word(texts_.back().c_str());
        return true;
      case kArgSprite:
        *value = Word(dynamic_cast<Sprite*>(
            handles.Get<DisplayObject>(word, ScriptObjectType::kDisplayObject)));
        return true;
      case kArgPicture:
        *value = Word(GetObjectSurface(handles, word));
        return true;
      case kArgLayer:
        *value = Word(GetObjectImageHolder(handles, word));
        return true;
      case kArgItem:
        *value = Word(handles.Get<RenderItem>(word, ScriptObjectType::kRenderItem));
        return true;
      case kArgAnimation:
        *value = Word(handles.Get<HvdAnimation>(word, ScriptObjectType::kHvdAnimation));
        return true;
      case kArgOutWord:
        if (word == 0) return true;
        if (!a.Memory().Read32(word, reinterpret_cast<uint32_t&>(outValues_[i]))) return false;
        outs_.emplace_back(word, i);
        *value = Word(&outValues_[i]);
        return true;
      default:
        *value = static_cast<int32_t>(word);
        return true;
    }
  }

  std::vector<ArgWord> words_;
  uint64_t pointers_ = 0;
  std::vector<std::string> texts_;  // reserved up front: the words point into it
  std::array<int32_t, kMaxWords> outValues_{};
  std::vector<std::pair<uint32_t, size_t>> outs_;  // guest address, slot
};

// What an effect is set up on: the object's image holder (a layer, with its composition layer),
// or the composition layer of an object without one (a texture layer). Each effect takes the
// kind its keyword works on from it.
EffectTarget TargetOf(NativeArgs& a, uint32_t handle) {
  if (SurfaceLayer* holder = GetObjectImageHolder(Handles(a), handle)) return holder;
  return GetObjectContainer(Handles(a), handle);
}

template <int kChannel>
int32_t EffectCommandOf(NativeArgs& a) {
  auto* effect = dynamic_cast<DisplayEffect*>(GetScriptTask(Handles(a), a.U32(0)));
  DcpPluginManager* effects = EffectKeywords();
  if (!effect) return kRenderNativeNull;
  EffectArgWords words;
  const char* kinds = effects ? effects->FindArgKinds(effect->GetKeyword()) : nullptr;
  if (!words.Read(a, 1, kinds, kChannel)) return kRenderNativeNull;
  int r =
      kChannel == kCommandChannel ? effect->Command(words.Words()) : effect->Query(words.Words());
  words.WriteBack(a);
  return r;
}

}  // namespace

// A failed set-up deletes the effect whatever its keep count; a set-up one goes to the service.
int32_t EffectStart(NativeArgs& a) {
  std::string keyword;
  DcpPluginManager* effects = EffectKeywords();
  TimerService* timers = EffectTimers();
  if (!a.Text(1, keyword) || !effects || !timers) return 0;
  EffectArgWords words;
  if (!words.Read(a, 2, effects->FindArgKinds(keyword.c_str()), kSetupChannel)) return 0;
  std::unique_ptr<DisplayEffect> effect(effects->Create(keyword.c_str()));
  if (!effect) return 0;
  effect->DisarmIfLowSpec();
  if (effect->Setup(timers, TargetOf(a, a.U32(0)), words.Words()) != 0) return 0;
  DisplayEffect* running = timers->HandOver(std::move(effect));
  if (!running) return 0;
  words.WriteBack(a);
  return static_cast<int32_t>(TaskHandleOf(a.Host(), running));
}

int32_t EffectCommandA(NativeArgs& a) {
  return EffectCommandOf<kCommandChannel>(a);
}

int32_t EffectCommandB(NativeArgs& a) {
  return EffectCommandOf<kQueryChannel>(a);
}

int32_t EffectKeywordCommand(NativeArgs& a) {
  std::string keyword;
  DcpPluginManager* effects = EffectKeywords();
  if (!a.Text(0, keyword) || !effects) return kRenderNativeNull;
  EffectArgsCommand command = effects->FindArgsCommand(keyword.c_str());
  if (!command) return kRenderNativeNull;
  EffectArgWords words;
  if (!words.Read(a, 1, effects->FindArgKinds(keyword.c_str()), kArgsCommandChannel)) {
    return kRenderNativeNull;
  }
  int r = command(words.Words());
  words.WriteBack(a);
  return r;
}

// The holder keeps the filter once attached; a refused one goes at once.
int32_t FilterStart(NativeArgs& a) {
  SurfaceLayer* holder = GetObjectImageHolder(Handles(a), a.U32(0));
  std::string keyword;
  if (!a.Text(1, keyword)) return kRenderNativeNull;
  if (!holder) return kRenderNativeNull;
  TcpPluginManager* filters = Global<TcpPluginManager>::Get();
  if (!filters) return kRenderNativeWrongKind;
  EffectArgWords words;
  if (!words.Read(a, 4, filters->FindArgKinds(keyword.c_str()), kSetupChannel)) {
    return kRenderNativeNull;
  }
  FilterEffect* filter = filters->CreateAndSetUpArray(holder, keyword.c_str(), words.Words());
  if (!filter) return kRenderNativeWrongKind;
  words.WriteBack(a);
  int r = holder->AttachSource(filter, uint8_t(a.U32(2)), a.U32(3) != 0, true);
  if (r != kLayerDone) ReleaseFilter(filter);
  return r;
}

}  // namespace bw
