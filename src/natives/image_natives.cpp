// The image natives: pictures filled, recoloured, filtered and moved between (the transfers
// through the one decoder of image_transfer); display_list_natives.cpp holds the rest of the
// family (sprites, containers, composition layers). The wipes are timed tasks of the
// effects' timer service; a script holds a task handle of the host's table, which reads as gone
// once the service has deleted the wipe.
#include "natives/image_natives.h"

#include <algorithm>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "common/global.h"
#include "graphics/device/display_manager.h"
#include "graphics/surface/image_surface.h"
#include "natives/image_native_support.h"
#include "natives/image_transfer.h"
#include "natives/native_constants.h"
#include "natives/native_families.h"
#include "natives/object_casts.h"
#include "natives/system_natives.h"
#include "platform/timed_task.h"
#include "script/native_names.h"
#include "script/script_host.h"

namespace bw {

WipeWords WipeWordsOf(const uint32_t words[8]) {
  constexpr uint32_t kNotGiven = 65535;
  auto w = [&](int k) { return static_cast<int32_t>(words[k]); };
  if (words[0] == kNotGiven) return WipeWords{.a1 = w(0), .a4 = static_cast<int32_t>(kNotGiven)};
  WipeWords out{w(0), w(1), w(2), w(3), w(4), w(5), w(6), w(7)};
  if (words[3] == kNotGiven) out.a5 = out.a6 = out.a7 = out.a8 = 0;
  return out;
}

namespace {

using namespace image_support;

// The timer service's handle of the wipe a script handle names; 0 when it is gone.
uint32_t WipeHandleOf(NativeArgs& a, uint32_t k) {
  const TimedTask* task = a.Handle<TimedTask>(k, ScriptObjectType::kTimedTask);
  return task ? task->Handle() : 0;
}

// 386: (kind, duration, target, source or 0, eight words).
int32_t WipeStart(NativeArgs& a) {
  WipeTransitions* wipes = Global<WipeTransitions>::Get();
  ImageSurface* target = ImageOf(a, 2);
  ImageSurface* source = a.U32(3) ? ImageOf(a, 3) : nullptr;
  if (!wipes || !target || (a.U32(3) && !source)) return 0;
  uint32_t words[8];
  for (uint32_t k = 0; k < 8; ++k) words[k] = a.U32(4 + k);
  if (a.Faulted()) return 0;
  const uint32_t running = wipes->Start(a.I32(0), a.U32(1), target, source, WipeWordsOf(words));
  WipeTransition* wipe = wipes->Find(running);
  if (!wipe) return 0;
  return static_cast<int32_t>(
      a.Host().Handles().HandleOf(ScriptObjectType::kTimedTask, static_cast<TimedTask*>(wipe)));
}

// 387
int32_t WipeFinish(NativeArgs& a) {
  WipeTransitions* wipes = Global<WipeTransitions>::Get();
  return wipes ? wipes->Finish(WipeHandleOf(a, 0)) : kWipeNoService;
}

// 388
int32_t WipeCancel(NativeArgs& a) {
  WipeTransitions* wipes = Global<WipeTransitions>::Get();
  return wipes ? wipes->Cancel(WipeHandleOf(a, 0)) : kWipeNoService;
}

// 389: the low byte of the answer.
int32_t WipeIsRunning(NativeArgs& a) {
  WipeTransitions* wipes = Global<WipeTransitions>::Get();
  return wipes && wipes->IsRunning(WipeHandleOf(a, 0)) ? 1 : 0;
}

constexpr int32_t kNoStoredWord = 0;  // 319
constexpr int kPaletteSize = 256;

// 326's answers.
constexpr int32_t kAlphaSet = 0;
constexpr int32_t kAlphaNoPixels = 1;
constexpr int32_t kAlphaNot32 = 2;
// 327 outside the image.
constexpr int32_t kPixelOutside = 1;

uint32_t Rgb(NativeArgs& a, uint32_t k) {
  return uint32_t(Byte(a, k)) << 16 | uint32_t(Byte(a, k + 1)) << 8 | uint32_t(Byte(a, k + 2));
}

// An image of kind 4 itself, not a layer or a part's picture.
ImageSurface* PlainImageOf(NativeArgs& a, uint32_t k) {
  Surface* surface = a.Handle<Surface>(k, ScriptObjectType::kSurface);
  if (!surface || (surface->GetKind() & 0xFF) != kKindDibSurface) return nullptr;
  return dynamic_cast<ImageSurface*>(surface);
}

// ---- Single-image operations: image, kValues values, then the optional rectangle -------------

using SingleOperation = int (*)(ImageSurface& image, const uint32_t* values, const Rect* rect);

template <uint32_t kValues, SingleOperation kOperation, int32_t kNull = kNoImage>
int32_t Single(NativeArgs& a) {
  uint32_t values[kValues + 1] = {};
  for (uint32_t k = 0; k < kValues; ++k) values[k] = a.U32(1 + k);
  Rect store;
  const Rect* rect = OptionalRect(a, 1 + kValues, store);
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  return image ? kOperation(*image, values, rect) : kNull;
}

int V(const uint32_t* values, int k) {
  return int32_t(values[k]);
}
int B(const uint32_t* values, int k) {
  return int(values[k] & 0xFF);
}

// 317: kind-4 images only; already at the depth counts as done.
int32_t ConvertDepth(NativeArgs& a) {
  ImageSurface* image = PlainImageOf(a, 0);
  const int bits = a.I32(1);
  if (a.Faulted()) return 0;
  if (!image) return kNoImage;
  if (!image->GetPixels()) return kNoPixels;
  if (image->GetBitsPerPixel() == bits) return 0;
  return image->ConvertDepth(bits);
}

// 318: image, name, loader type, options.
int32_t Save(NativeArgs& a) {
  std::string name;
  if (!a.Text(1, name)) return 0;
  const uint32_t type = a.U32(2);
  const int options = a.I32(3);
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  return image ? image->SaveImage(name.c_str(), type, options) : kNoImage;
}

// 319: the owner word that the display manager gave the image.
int32_t StoredWord(NativeArgs& a) {
  ImageSurface* image = PlainImageOf(a, 0);
  return image ? int32_t(image->GetWord3()) : kNoStoredWord;
}

// 320: image, name, x, y, apply-palette flag.
int32_t DrawFile(NativeArgs& a) {
  std::string name;
  if (!a.Text(1, name)) return 0;
  const int32_t x = a.I32(2), y = a.I32(3);
  const bool palette = a.U32(4) != 0;
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  return image ? image->DrawImageFile(name.c_str(), nullptr, 0, x, y, palette) : kImageNoSurface;
}

// 321: image, data, size, x, y, flag; the data is copied out of guest memory first.
int32_t DrawFileFromMemory(NativeArgs& a) {
  const uint32_t data = a.U32(1), size = a.U32(2);
  const int32_t x = a.I32(3), y = a.I32(4);
  const bool palette = a.U32(5) != 0;
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  if (!image) return kImageNoSurface;
  if (!GuestRange(a.Memory(), data, size)) return 0;
  std::vector<uint8_t> bytes(size);
  if (size && !a.Memory().Read(data, bytes.data(), size)) return 0;
  return image->DrawImageFile(nullptr, bytes.data(), bytes.size(), x, y, palette);
}

// 322: the rectangle comes first here.
int32_t FillRgb(NativeArgs& a) {
  Rect store;
  const Rect* rect = OptionalRect(a, 1, store);
  const int r = Byte(a, 5), g = Byte(a, 6), b = Byte(a, 7);
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  return image ? LowByte(image->FillRgb(r, g, b, rect)) : kNoImage;
}

// 326
int32_t SetAlpha(NativeArgs& a) {
  const uint8_t alpha = uint8_t(a.U32(1));
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  if (!image) return kNoImage;
  if (!image->GetPixels()) return kAlphaNoPixels;
  if (image->GetBitsPerPixel() != 32) return kAlphaNot32;
  SetSurfaceAlpha(image, alpha);
  image->MarkDirty({0, 0, image->GetWidth(), image->GetHeight()});
  return kAlphaSet;
}

// 327
int32_t SetPixel(NativeArgs& a) {
  const int32_t x = a.I32(1), y = a.I32(2);
  const uint32_t value = a.U32(3);
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  if (!image) return kNoImage;
  return image->SetPixel(x, y, value) ? 0 : kPixelOutside;
}

// 328
int32_t GetPixel(NativeArgs& a) {
  const int32_t x = a.I32(1), y = a.I32(2);
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  return image ? int32_t(image->GetPixel(x, y)) : kNoImage;
}

// 329
int32_t FindPaletteIndex(NativeArgs& a) {
  const int r = Byte(a, 1), g = Byte(a, 2), b = Byte(a, 3);
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  return image ? image->FindPaletteIndex(r, g, b) : kNoImage;
}

// 330
int32_t CopyPalette(NativeArgs& a) {
  ImageSurface* image = ImageOf(a, 0);
  ImageSurface* other = ImageOf(a, 1);
  if (!image || !other) return kNoImage;
  return LowByte(image->CopyPaletteFrom(other));
}

// 331: image, index byte, colour, apply flag.
int32_t SetPaletteEntry(NativeArgs& a) {
  const int index = Byte(a, 1);
  const uint32_t color = a.U32(2);
  const bool apply = a.U32(3) != 0;
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  return image ? LowByte(image->SetPaletteEntry(index, color, apply)) : kNoImage;
}

// 332: a count outside 0-256 fills the whole palette and no further.
int32_t FillPalette(NativeArgs& a) {
  const uint32_t color = Rgb(a, 1);
  const int32_t count = a.I32(4);
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  if (!image) return kNoImage;
  const int n = count < 0 || count > kPaletteSize ? kPaletteSize : count;
  if (n == 0) return 0;  // an empty fill must not reset the palette
  std::vector<uint32_t> entries(size_t(n), color);
  return LowByte(image->SetPalette(entries.data(), n, 0));
}

// 356: mode, image, mask, opacity, red, green, blue, x (65535: at 0, 0, whole mask), y, mask
// rectangle.
int32_t MaskColorFill(NativeArgs& a) {
  const int mode = Byte(a, 0), opacity = Byte(a, 3);
  const int r = Byte(a, 4), g = Byte(a, 5), b = Byte(a, 6);
  int32_t x = 0, y = 0;
  Rect store;
  const Rect* rect = nullptr;
  if (a.U32(7) != kDefaultsSwitch) {
    x = a.I32(7), y = a.I32(8);
    rect = OptionalRect(a, 9, store);
  }
  ImageSurface* image = ImageOf(a, 1);
  ImageSurface* mask = ImageOf(a, 2);
  if (a.Faulted()) return 0;
  if (!image || !mask) return kNoImage;
  return image->MaskColorFill(mode, mask, opacity, r, g, b, x, y, rect);
}

// 379: three multipliers (the first 16-bit), three offsets.
int ColorTone(ImageSurface& i, const uint32_t* v, const Rect* rect) {
  return i.ColorTone(int(v[0] & 0xFFFF), V(v, 1), V(v, 2), V(v, 3), V(v, 4), V(v, 5), rect);
}

// 383: direction, start red, green, blue, end red, green, blue.
int Gradient(ImageSurface& i, const uint32_t* v, const Rect* rect) {
  auto rgb = [v](int k) {
    return uint32_t(B(v, k)) << 16 | uint32_t(B(v, k + 1)) << 8 | B(v, k + 2);
  };
  return i.FillGradient(B(v, 0), rgb(1), rgb(4), rect);
}

// ---- The pixel library's word-group operations (392-401) --------------------------------
// Each group is copied out of the script's words; a group whose first word is 65535 is zeros.

template <size_t kCount>
struct Words {
  uint32_t w[kCount] = {};
};

template <size_t kCount>
Words<kCount> GroupAt(NativeArgs& a, uint32_t k) {
  Words<kCount> group;
  if (a.U32(k) == kDefaultsSwitch) return group;
  for (uint32_t i = 0; i < kCount; ++i) group.w[i] = a.U32(k + i);
  return group;
}

// 392 (nine words) and 393 (nine words): target, source, group.
template <bool kAffine>
int32_t LibTwoImageWords(NativeArgs& a) {
  const Words<9> words = GroupAt<9>(a, 2);
  ImageSurface* image = ImageOf(a, 0);
  ImageSurface* source = ImageOf(a, 1);
  if (a.Faulted()) return 0;
  if (!image || !source) return kNoImage;
  return kAffine ? image->LibAffineBlit(source, words.w) : image->LibBlitOpC(source, words.w);
}

// 394: image, four words.
int32_t LibOpFour(NativeArgs& a) {
  const Words<4> words = GroupAt<4>(a, 1);
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  return image ? image->LibOpFour(words.w) : kNoImage;
}

// 397-399: image and one value.
int32_t LibFilterChoice(NativeArgs& a) {
  const bool flag = a.U32(1) != 0;
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  return image ? int32_t(image->LibFilterChoice(flag)) : kNoImage;
}
template <bool kFilterC>
int32_t LibFilterValue(NativeArgs& a) {
  const uint32_t value = a.U32(1);
  ImageSurface* image = ImageOf(a, 0);
  if (a.Faulted()) return 0;
  if (!image) return kNoImage;
  return int32_t(kFilterC ? image->LibFilterC(value) : image->LibFilterD(value));
}

// 400: target, two sources, ten words; 401: target, two sources, rule, thirteen words.
int32_t LibBlendA(NativeArgs& a) {
  const Words<10> words = GroupAt<10>(a, 3);
  ImageSurface* image = ImageOf(a, 0);
  ImageSurface* first = ImageOf(a, 1);
  ImageSurface* second = ImageOf(a, 2);
  if (a.Faulted()) return 0;
  if (!image || !first || !second) return kNoImage;
  return image->LibBlendA(first, second, words.w);
}
int32_t LibBlendB(NativeArgs& a) {
  const Words<13> words = GroupAt<13>(a, 4);
  ImageSurface* image = ImageOf(a, 0);
  ImageSurface* first = ImageOf(a, 1);
  ImageSurface* second = ImageOf(a, 2);
  ImageSurface* rule = ImageOf(a, 3);
  if (a.Faulted()) return 0;
  if (!image || !first || !second || !rule) return kNoImage;
  return image->LibBlendB(first, second, rule, words.w);
}

// ---- Transfers -----------------------------------------------------------------------------

template <uint32_t kNumber>
int32_t Transfer(NativeArgs& a) {
  static const TransferRow* const row = FindTransferRow(kNumber);
  return RunTransfer(a, *row);
}
int32_t QuadBlit(NativeArgs& a) {
  return RunQuadTransfer(a, false);
}
int32_t QuadAlphaBlit(NativeArgs& a) {
  return RunQuadTransfer(a, true);
}
int32_t RotateZoomBlit(NativeArgs& a) {
  return RunRotateTransfer(a, false);
}
int32_t RotateZoomOpacityBlit(NativeArgs& a) {
  return RunRotateTransfer(a, true);
}

// clang-format off
constexpr NativeEntry kEntries[] = {
    {Native::kImageConvertDepth, ConvertDepth},
    {Native::kImageSave, Save},
    {Native::kObjectGetStoredWord, StoredWord},
    {Native::kImageDrawFile, DrawFile},
    {Native::kImageDrawFileFromMemory, DrawFileFromMemory},
    {Native::kImageFillRgb, FillRgb},
    {Native::kImageFill, Single<1, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return LowByte(i.Fill(v[0], r)); }>},
    {Native::kImageFillKeepAlpha, Single<3, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return int(i.FillColorKeepAlpha(B(v, 0), B(v, 1), B(v, 2), r)); }>},
    {Native::kImageLibOpByte, Single<1, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return i.LibOpByte(V(v, 0), r); }>},
    {Native::kImageSetAlpha, SetAlpha},
    {Native::kImageSetPixel, SetPixel},
    {Native::kImageGetPixel, GetPixel},
    {Native::kImageFindPaletteIndex, FindPaletteIndex},
    {Native::kImageCopyPalette, CopyPalette},
    {Native::kImageSetPaletteEntry, SetPaletteEntry},
    {Native::kImageFillPalette, FillPalette},
    {Native::kImageBlit, Transfer<333>}, {334, Transfer<334>}, {335, Transfer<335>}, {336, Transfer<336>},
    {Native::kImageAlphaBlit, Transfer<337>}, {338, Transfer<338>}, {339, Transfer<339>}, {340, Transfer<340>},
    {Native::kImageCopyAlphaPlane, Transfer<341>}, {342, Transfer<342>}, {343, Transfer<343>}, {344, Transfer<344>},
    {Native::kImageBlitColor, Transfer<345>}, {346, Transfer<346>}, {347, Transfer<347>}, {348, Transfer<348>},
    {Native::kImageBlitFromObject, Transfer<349>}, {350, Transfer<350>},
    {Native::kImageSetBrightness, Single<1, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return i.SetBrightness(int(v[0] & 0xFFFF), r); }>},
    {Native::kImageFillColorBlend, Single<4, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return i.FillColorBlend(B(v, 0), B(v, 1), B(v, 2), B(v, 3), r); }>},
    {Native::kImageAddColor, Single<3, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return i.AddColor(B(v, 0), B(v, 1), B(v, 2), r); }>},
    {Native::kImageSubtractColor, Single<3, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return i.SubtractColor(B(v, 0), B(v, 1), B(v, 2), r); }>},
    {Native::kImageLibOpLevel, Single<3, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return i.LibOpLevel(v[0], B(v, 1), V(v, 2), r); }>},
    {Native::kImageMaskColorFill, MaskColorFill},
    {Native::kImageOpacityBlit, Transfer<357>}, {358, Transfer<358>}, {359, Transfer<359>}, {360, Transfer<360>},
    {Native::kImageBlendBlit, Transfer<361>}, {362, Transfer<362>}, {363, Transfer<363>}, {364, Transfer<364>},
    {Native::kImageAlphaOpacityBlit, Transfer<365>}, {366, Transfer<366>}, {367, Transfer<367>}, {368, Transfer<368>},
    {Native::kImageRuleBlit, Transfer<369>}, {370, Transfer<370>}, {371, Transfer<371>}, {372, Transfer<372>},
    {Native::kImageSmoothStretchBlit, Transfer<373>},
    {Native::kImageQuadBlit, QuadBlit},
    {Native::kImageQuadAlphaBlit, QuadAlphaBlit},
    {Native::kImageRotateZoomBlit, RotateZoomBlit},
    {Native::kImageRotateZoomOpacityBlit, RotateZoomOpacityBlit},
    {Native::kImageGreyscale, Single<0, [](ImageSurface& i, const uint32_t*, const Rect* r) { return i.Greyscale(r); }>},
    {Native::kImageColorTone, Single<6, ColorTone>},
    {Native::kImageInvert, Single<1, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return i.Invert(B(v, 0), r); }>},
    {Native::kImageBlur, Single<1, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return i.Blur(B(v, 0), r); }>},
    {Native::kImageMosaic, Single<2, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return i.Mosaic(V(v, 0), B(v, 1), r); }>},
    {Native::kImageApplyAlphaGradient, Single<7, Gradient, kImageNoSurface>},
    {Native::kImageScaleAlpha, Single<1, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return int(i.ScaleAlpha(int(v[0] & 0xFFFF), r)); }>},
    {Native::kImageToneAlpha, Single<2, [](ImageSurface& i, const uint32_t* v, const Rect* r) { return int(i.ToneAlpha(V(v, 0), V(v, 1), r)); }>},
    {Native::kWipeStart, WipeStart},
    {Native::kWipeFinish, WipeFinish},
    {Native::kWipeCancel, WipeCancel},
    {Native::kWipeIsRunning, WipeIsRunning},
    {Native::kImageLibBlitOpB, Transfer<390>},
    {Native::kImageLibStretchBlit, Transfer<391>},
    {Native::kImageLibAffineBlit, LibTwoImageWords<true>},
    {Native::kImageLibBlitOpC, LibTwoImageWords<false>},
    {Native::kImageLibOpFour, LibOpFour},
    {Native::kImageLibFilterA, Single<0, [](ImageSurface& i, const uint32_t*, const Rect* r) { return i.LibFilterA(r); }>},
    {Native::kImageLibFilterB, Single<0, [](ImageSurface& i, const uint32_t*, const Rect* r) { return i.LibFilterB(r); }>},
    {Native::kImageLibFilterChoice, LibFilterChoice},
    {Native::kImageLibFilterC, LibFilterValue<true>},
    {Native::kImageLibFilterD, LibFilterValue<false>},
    {Native::kImageLibBlendA, LibBlendA},
    {Native::kImageLibBlendB, LibBlendB},
};
// clang-format on
constexpr NativeRange kNumbers[] = {{317, 438}};

}  // namespace

const NativeFamily& ImageNativeFamily() {
  // The family's rows come in parts: the pictures' here, then the display lists'.
  static const std::vector<NativeEntry> entries = [] {
    std::vector<NativeEntry> all(std::begin(kEntries), std::end(kEntries));
    std::span<const NativeEntry> lists = image_support::DisplayListNativeEntries();
    all.insert(all.end(), lists.begin(), lists.end());
    return all;
  }();
  static const NativeFamily family{"image", entries, kNumbers};
  return family;
}

}  // namespace bw
