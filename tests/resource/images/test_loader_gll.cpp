// An image-loader plug-in for the manager's tests, built as a native shared object named *.GLL.
// Its pictures (extension TIM) are "TIMG", u16 width, u16 height, then 32-bit pixels top-down.
// It cannot write into a destination, so the manager decodes to buffers and converts.
#include <cstring>

#include "common/byte_reader.h"
#include "resource/images/image_loader.h"

namespace {

constexpr uint32_t kTestImageType = 40;

class TestImageLoader final : public bw::ImageLoader {
 public:
  bool IsSupported(std::span<const uint8_t> data, const char*) override {
    return data.size() >= 8 && std::memcmp(data.data(), "TIMG", 4) == 0;
  }
  int LoadToBuffers(std::span<const uint8_t> data, const bw::ImageProgress&) override {
    FreeBuffers();
    bw::ByteReader in(data);
    uint16_t width, height;
    if (!in.skip(4) || !in.u16le(width) || !in.u16le(height) || width == 0 || height == 0 ||
        !in.has(uint64_t{width} * height * 4))
      return bw::kGllFailed;
    bw::DibImage dib;
    dib.width = width;
    dib.height = -static_cast<int32_t>(height);
    dib.bits = 32;
    dib.pitch = width * 4u;
    dib.pixels.resize(size_t{dib.pitch} * height);
    in.copy(dib.pixels.data(), dib.pixels.size());
    dib.offsetX = 3;
    dib.offsetY = -4;
    KeepPicture(std::move(dib));
    return bw::kGllDone;
  }
};

}  // namespace

extern "C" {

uint32_t GetGllType() { return kTestImageType; }
const char* GetGllTypeString() { return "Test image"; }
const char* GetGllSupportExt() { return "TIM\0"; }
int GllAssistFunc(uint32_t kind, uint32_t a, uint32_t b) { return static_cast<int>(kind + a + b); }
int GllAssistFunc2(const bw::AdlAssistArgs* args) {
  return args ? GllAssistFunc(args->kind, args->a, args->b) : -1;
}
bw::ImageLoader* GetGllLoadObject() { return new TestImageLoader(); }

}  // extern "C"
