// The render family's text natives: text renderers made, set and measured, text drawn into
// images, and the font list.
#include <array>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/device/display_manager.h"
#include "graphics/surface/image_surface.h"
#include "graphics/text/gdi_text_renderer.h"
#include "graphics/text/outline_text_renderer.h"
#include "natives/guest_format.h"
#include "natives/object_casts.h"
#include "natives/render_native_support.h"
#include "natives/render_natives.h"
#include "natives/system_file_natives.h"
#include "scenario/font_list.h"
#include "script/native_names.h"

namespace bw::render_support {

namespace {

// ---- Text renderers and text (166-192) ----

int32_t TextRendererDestroyAll(NativeArgs&) {
  if (DisplayManager* d = Display()) d->DestroyAllTextRenderers();
  return 0;
}

template <bool kOutline>
int32_t TextRendererCreate(NativeArgs& a) {
  std::string face;
  bool noFace = false;
  int32_t height = a.I32(1);
  if (!a.Text(0, face, &noFace)) return 0;
  DisplayManager* d = Display();
  if (!d) return 0;
  TextRenderer* r = nullptr;
  const char* name = noFace ? nullptr : face.c_str();
  int code = kOutline ? d->CreateOutlineTextRenderer(&r, name, height)
                      : d->CreateGdiTextRenderer(&r, name, height);
  return Made(a, code, r);
}

int32_t TextRendererDestroy(NativeArgs& a) {
  return Release<TextRenderer>(a, ScriptObjectType::kTextRenderer, [](TextRenderer* r) {
    DisplayManager* d = Display();
    return d ? d->DestroyTextRenderer(&r) : kDestroyNotListed;
  });
}

// A setter on the renderer of argument 0: 1 once set, 0 without a renderer (its arguments unread).
template <typename Set>
int32_t SetOnRenderer(NativeArgs& a, Set set) {
  TextRenderer* r = Renderer(a, 0);
  if (!r) return 0;
  set(*r);
  return 1;
}

// The renderer's own answer, or kRenderNativeNull without a renderer (its arguments unread).
template <typename Call>
int32_t RendererAnswer(NativeArgs& a, Call call) {
  TextRenderer* r = Renderer(a, 0);
  return r ? call(*r) : kRenderNativeNull;
}

int32_t TextRendererSetDefault(NativeArgs& a) {
  uint32_t handle = a.U32(0);
  if (handle == 0) return 0;
  State(a).SetDefaultRenderer(handle);
  return 1;
}

int32_t TextRendererSetFaceName(NativeArgs& a) {
  TextRenderer* r = Renderer(a, 0);
  std::string face;
  bool noFace = false;
  if (!a.Text(1, face, &noFace) || !r) return kRenderNativeNull;
  return r->SetFaceName(noFace ? nullptr : face.c_str());
}

int32_t TextRendererSetHeight(NativeArgs& a) {
  return RendererAnswer(a, [&](TextRenderer& r) { return r.SetHeight(a.I32(1)); });
}

int32_t TextRendererSetBoldItalic(NativeArgs& a) {
  TextRenderer* r = Renderer(a, 0);
  int8_t bold = static_cast<int8_t>(a.U32(1));
  uint8_t italic = static_cast<uint8_t>(a.U32(2));
  return r ? r->SetBoldItalic(bold > 0, italic != 0) : kRenderNativeNull;
}

int32_t TextRendererSetOrientation(NativeArgs& a) {
  return RendererAnswer(a, [&](TextRenderer& r) { return r.SetOrientation(a.I32(1)); });
}

int32_t TextRendererSetFlag(NativeArgs& a) {
  return SetOnRenderer(a, [&](TextRenderer& r) { r.SetSmoothing(static_cast<uint8_t>(a.U32(1))); });
}

int32_t TextRendererSetColor(NativeArgs& a) {
  return SetOnRenderer(a, [&](TextRenderer& r) {
    r.SetTextColor(uint8_t(a.U32(1)), uint8_t(a.U32(2)), uint8_t(a.U32(3)));
  });
}

int32_t TextRendererSetDecoration(NativeArgs& a) {
  return SetOnRenderer(a, [&](TextRenderer& r) {
    uint8_t mode = static_cast<uint8_t>(a.U32(1));
    r.SetStyle(mode == 0 ? kTextPlain : mode == 1 ? kTextShadow : kTextEdge);
    r.SetShadowOffset(a.I32(2), a.I32(3));
  });
}

int32_t TextRendererSetDecorationColor(NativeArgs& a) {
  return SetOnRenderer(a, [&](TextRenderer& r) {
    r.SetDecorationColor(uint8_t(a.U32(1)), uint8_t(a.U32(2)), uint8_t(a.U32(3)));
  });
}

int32_t TextRendererSetBackColor(NativeArgs& a) {
  return SetOnRenderer(a, [&](TextRenderer& r) {
    r.SetBackColor(a.U32(1) != 0, uint8_t(a.U32(2)), uint8_t(a.U32(3)), uint8_t(a.U32(4)));
  });
}

int32_t TextRendererSetParam(NativeArgs& a) {
  return SetOnRenderer(a, [&](TextRenderer& r) { r.SetLineSpacing(a.I32(1)); });
}

int32_t TextRendererSetUnderline(NativeArgs& a) {
  TextRenderer* r = Renderer(a, 0);
  if (!r) return kRenderNativeNull;
  auto* gdi = dynamic_cast<GdiTextRenderer*>(r);
  return gdi ? gdi->SetUnderlineStrikeOut(a.U32(1) != 0, a.U32(2) != 0) : kRenderNativeWrongKind;
}

// 183: 174 for outline renderers only, answering 1; 0 for anything else.
int32_t OutlineRendererSetOrientation(NativeArgs& a) {
  auto* outline = dynamic_cast<OutlineTextRenderer*>(Renderer(a, 0));
  if (!outline) return 0;
  // Refused, the font in force stays; not made, the renderer has none and draws no text.
  (void)outline->SetOrientation(a.I32(1));
  return 1;
}

// 193-195: the application's font list. Names go to scripts as guest copies that live until the
// list is filled again.
class FontNameCopies : public ScriptHostExtension {
 public:
  explicit FontNameCopies(ScriptHost& host) : memory_(host.GetMemory()) {}
  ~FontNameCopies() override { Clear(); }
  uint32_t Of(int index, std::string_view name) { return copies_[index].Of(memory_, name); }
  void Clear() {
    for (auto& [index, copy] : copies_) copy.Free(memory_);
    copies_.clear();
  }

 private:
  GuestMemory& memory_;
  std::map<int, GuestCopy> copies_;
};

FontList* Fonts(NativeArgs& a) {
  ScriptApplication* app = a.Host().Application();
  return app ? app->Fonts() : nullptr;
}
// The face name of entry index, at most the 32 bytes of the record; nullopt out of range.
std::optional<std::string_view> FaceName(NativeArgs& a, int32_t index) {
  FontList* fonts = Fonts(a);
  const host::LOGFONTA* font = fonts ? fonts->Get(index) : nullptr;
  if (!font) return std::nullopt;
  const char* face = font->lfFaceName;
  return std::string_view(face, strnlen(face, sizeof font->lfFaceName));
}

int32_t FontListEnumerate(NativeArgs& a) {
  FontList* fonts = Fonts(a);
  const auto filter = uint8_t(a.U32(0)), charSet = uint8_t(a.U32(1));
  if (!fonts) return 0;
  a.Host().Extension<FontNameCopies>().Clear();
  return fonts->Enumerate(filter, charSet);
}

// 194: the name with its terminator into the script's buffer; out of range empties it.
int32_t FontListGetName(NativeArgs& a) {
  const std::optional<std::string_view> name = FaceName(a, a.I32(0));
  const uint32_t buffer = a.U32(1);
  if (a.Faulted() || buffer == 0) return name ? 1 : 0;
  const std::string text(name.value_or(std::string_view{}));
  a.Memory().Write(buffer, text.c_str(), static_cast<uint32_t>(text.size() + 1));
  return name ? 1 : 0;
}

int32_t FontListGetNamePtr(NativeArgs& a) {
  const int32_t index = a.I32(0);
  const std::optional<std::string_view> name = FaceName(a, index);
  if (!name) return 0;
  return static_cast<int32_t>(a.Host().Extension<FontNameCopies>().Of(index, *name));
}

int32_t TextRendererSetQuality(NativeArgs& a) {
  TextRenderer* r = Renderer(a, 0);
  if (!r) return kRenderNativeNull;
  auto* gdi = dynamic_cast<GdiTextRenderer*>(r);
  return gdi ? gdi->SetQuality(uint8_t(a.U32(1))) : kRenderNativeWrongKind;
}

int32_t TextRendererSetTexture(NativeArgs& a) {
  TextRenderer* r = Renderer(a, 0);
  std::string file;
  bool noFile = false;
  if (!a.Text(1, file, &noFile) || !r) return kRenderNativeNull;
  auto* outline = dynamic_cast<OutlineTextRenderer*>(r);
  if (!outline) return kRenderNativeWrongKind;
  return outline->SetTexture(noFile ? nullptr : file.c_str(), a.I32(2), a.I32(3), a.I32(4),
                             uint8_t(a.U32(5)));
}

int32_t TextRendererSetGradation(NativeArgs& a) {
  auto* outline = dynamic_cast<OutlineTextRenderer*>(Renderer(a, 0));
  if (!outline) return Renderer(a, 0) ? kRenderNativeWrongKind : kRenderNativeNull;
  return outline->SetGradation(a.U32(1) != 0, a.U32(2), a.U32(3), true);
}

int32_t TextRendererSetEdge(NativeArgs& a) {
  auto* outline = dynamic_cast<OutlineTextRenderer*>(Renderer(a, 0));
  if (!outline) return 0;
  outline->SetEdge(a.I32(1), a.I32(2));
  return 1;
}

int32_t TextRendererMeasure(NativeArgs& a) {
  TextRenderer* r = Renderer(a, 0);
  std::string text;
  if (!a.Text(1, text) || !r) return kRenderNativeNull;
  Size size{};
  int32_t ox = 0, oy = 0;
  int lines = r->MeasureText(text.c_str(), &size, &ox, &oy, true, nullptr);
  a.Out32(2, uint32_t(size.width)) && a.Out32(3, uint32_t(size.height)) &&
      a.Out32(4, uint32_t(ox)) && a.Out32(5, uint32_t(oy));
  return lines;
}

int32_t TextRendererMeasureRotated(NativeArgs& a) {
  TextRenderer* r = Renderer(a, 0);
  std::string text;
  if (!a.Text(1, text) || !r) return kRenderNativeNull;
  Size size{};
  int32_t ox = 0, oy = 0;
  int lines = r->MeasureText(text.c_str(), &size, &ox, &oy, true, nullptr);
  Rect box{};
  r->GetRotatedRect(&box, ox, oy, size.width, size.height);
  a.Out32(2, uint32_t(box.right - box.left)) && a.Out32(3, uint32_t(box.bottom - box.top)) &&
      a.Out32(4, uint32_t(box.left)) && a.Out32(5, uint32_t(box.top));
  return lines;
}

// 189: the guest formatter, bounded like every script format.
int32_t ImageDrawTextFormat(NativeArgs& a) {
  ImageSurface* image = GetObjectSurface(Handles(a), a.U32(0));
  std::string format;
  if (!a.Text(3, format)) return kRenderNativeNull;
  if (!image) return kRenderNativeNull;
  std::array<char, kGuestFormatCapacity> buffer;  // the text ends in a zero there
  if (!FormatGuestText(a.Memory(), format, a.WordAddress(4), buffer)) return kRenderNativeNull;
  return image->DrawTextGdi(a.I32(1), a.I32(2), buffer.data(), State(a).DefaultRenderer());
}

template <int (ImageSurface::*Draw)(int32_t, int32_t, const char*, TextRenderer*)>
int32_t ImageDrawText(NativeArgs& a) {
  ImageSurface* image = GetObjectSurface(Handles(a), a.U32(0));
  std::string text;
  bool noText = false;
  if (!a.Text(3, text, &noText) || !image) return kRenderNativeNull;
  TextRenderer* r = Renderer(a, 4);
  if (!r) r = State(a).DefaultRenderer();
  return (image->*Draw)(a.I32(1), a.I32(2), noText ? nullptr : text.c_str(), r);
}

// clang-format off
constexpr NativeEntry kEntries[] = {
    {Native::kTextRendererDestroyAll, TextRendererDestroyAll},
    {Native::kTextRendererCreateGdi, TextRendererCreate<false>},
    {Native::kTextRendererCreateOutline, TextRendererCreate<true>},
    {Native::kTextRendererDestroy, TextRendererDestroy},
    {Native::kTextRendererSetDefault, TextRendererSetDefault},
    {Native::kTextRendererSetFaceName, TextRendererSetFaceName},
    {Native::kTextRendererSetHeight, TextRendererSetHeight},
    {Native::kTextRendererSetBoldItalic, TextRendererSetBoldItalic},
    {Native::kTextRendererSetOrientation, TextRendererSetOrientation},
    {Native::kTextRendererSetFlag, TextRendererSetFlag},
    {Native::kTextRendererSetColor, TextRendererSetColor},
    {Native::kTextRendererSetDecoration, TextRendererSetDecoration},
    {Native::kTextRendererSetDecorationColor, TextRendererSetDecorationColor},
    {Native::kTextRendererSetBackColor, TextRendererSetBackColor},
    {Native::kTextRendererSetParam, TextRendererSetParam},
    {Native::kTextRendererSetUnderline, TextRendererSetUnderline},
    {Native::kTextRendererSetQuality, TextRendererSetQuality},
    {Native::kOutlineRendererSetOrientation, OutlineRendererSetOrientation},
    {Native::kTextRendererSetTexture, TextRendererSetTexture},
    {Native::kTextRendererSetGradation, TextRendererSetGradation},
    {Native::kTextRendererSetEdge, TextRendererSetEdge},
    {Native::kTextRendererMeasure, TextRendererMeasure},
    {Native::kTextRendererMeasureRotated, TextRendererMeasureRotated},
    {Native::kImageDrawTextFormat, ImageDrawTextFormat},
    {Native::kImageDrawTextGdi, ImageDrawText<&ImageSurface::DrawTextGdi>},
    {Native::kImageDrawText, ImageDrawText<&ImageSurface::DrawTextWithRenderer>},
    {Native::kImageDrawTextOutline, ImageDrawText<&ImageSurface::DrawTextOutline>},
    {Native::kFontListEnumerate, FontListEnumerate},
    {Native::kFontListGetName, FontListGetName},
    {Native::kFontListGetNamePtr, FontListGetNamePtr},
};
// clang-format on

}  // namespace

std::span<const NativeEntry> TextRendererNativeEntries() {
  return kEntries;
}

}  // namespace bw::render_support
