// Argument words and targets: what scripts and scene commands hand to effects and transitions.
// Pointers do not fit 32 bits here, so every word is pointer-sized: integers hold their 32-bit
// values, texts, objects and out-pointers hold host pointers that the caller made from checked
// guest addresses and handles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace bw {

class CompositionLayer;
class SurfaceLayer;
struct SpChangeParams;

using ArgWord = intptr_t;
using ArgList = std::initializer_list<ArgWord>;

// An optional word that holds this was not given.
constexpr int32_t kArgNotGiven = 65535;

template <typename T>
ArgWord Word(T* pointer) {
  return reinterpret_cast<ArgWord>(pointer);
}

// A counted view of argument words: a word past the end reads as 0 (null), so an effect never
// reads beyond what its caller passed. Words from a script are host pointers only where the
// keyword's kinds made them so; any other word reads as null where an effect asks for a pointer.
class ArgWords {
 public:
  // Bit i set: word i may be read as a pointer.
  static constexpr uint64_t kAllPointers = ~uint64_t{0};

  ArgWords() = default;
  ArgWords(const ArgWord* words, size_t count, uint64_t pointerWords = kAllPointers)
      : words_(words), count_(words ? count : 0), pointers_(pointerWords) {}
  // The list's words live until the end of the call that the list was written in.
  ArgWords(ArgList list) : ArgWords(list.begin(), list.size()) {}

  size_t Count() const { return count_; }
  bool Empty() const { return count_ == 0; }
  ArgWord At(size_t i) const { return i < count_ ? words_[i] : 0; }
  int32_t Int(size_t i) const { return static_cast<int32_t>(At(i)); }
  uint32_t Uint(size_t i) const { return static_cast<uint32_t>(At(i)); }
  template <typename T>
  T* Pointer(size_t i) const {
    return IsPointer(i) ? reinterpret_cast<T*>(At(i)) : nullptr;
  }
  const char* Text(size_t i) const { return Pointer<const char>(i); }
  // The words from i on.
  ArgWords From(size_t i) const {
    return i < count_ ? ArgWords(words_ + i, count_ - i, i < 64 ? pointers_ >> i : 0) : ArgWords();
  }

 private:
  bool IsPointer(size_t i) const { return i < 64 && (pointers_ >> i & 1) != 0; }

  const ArgWord* words_ = nullptr;
  size_t count_ = 0;
  uint64_t pointers_ = kAllPointers;
};

// How a keyword's argument words read when they come from a script, one letter per word; words
// past the letters are integers. An effect keyword declares four channels separated by '|'
// (set-up, Command, Query, the registry's argument-array command), a filter keyword one (set-up).
// A channel of two forms gives both, split by '/': the first when word 0 is 0, the second
// otherwise.
constexpr char kArgInteger = 'i';
constexpr char kArgText = 't';       // a text
constexpr char kArgSprite = 's';     // a sprite
constexpr char kArgPicture = 'p';    // an image surface
constexpr char kArgLayer = 'l';      // a surface layer
constexpr char kArgItem = 'r';       // a render item
constexpr char kArgAnimation = 'a';  // an HVD animation
constexpr char kArgOutWord = 'w';    // a 32-bit word written back after the call
constexpr char kArgChannelEnd = '|';
constexpr char kArgFormEnd = '/';

// What an effect is set up on. A caller hands what it holds; each effect asks for the kind its
// keyword works on, and a target of another kind reads as none, which the effect refuses with its
// own code.
class EffectTarget {
 public:
  EffectTarget() = default;
  EffectTarget(std::nullptr_t) {}
  EffectTarget(SurfaceLayer* layer) : layer_(layer) {}
  EffectTarget(CompositionLayer* composition) : composition_(composition) {}
  EffectTarget(const SpChangeParams* params) : params_(params) {}

  explicit operator bool() const { return layer_ || composition_ || params_; }
  // The layer item.
  SurfaceLayer* Layer() const { return layer_; }
  // The composition layer given, or the layer item's.
  CompositionLayer* Composition() const;
  const SpChangeParams* ChangeParams() const { return params_; }

 private:
  SurfaceLayer* layer_ = nullptr;
  CompositionLayer* composition_ = nullptr;
  const SpChangeParams* params_ = nullptr;
};

// Operations a class does not support.
constexpr int kEffectUnsupported = -2;

}  // namespace bw
