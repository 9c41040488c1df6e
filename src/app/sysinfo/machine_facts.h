// The facts the system report and the start-up log print. Each owner fills its part: the display
// manager, the sound device list, the input devices (the processor's are the identification's own
// record); the drives and processes are read from the system when the text is written. Texts are
// CP932.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bw {

struct SurfaceFacts {
  bool systemMemory = false;
  uint32_t caps = 0;
};

struct PixelFacts {
  uint32_t bits = 0;
  uint32_t typeClass = 0;
  uint32_t redBits = 0;
  uint32_t greenBits = 0;
  uint32_t blueBits = 0;
  uint32_t redMask = 0;
  uint32_t greenMask = 0;
  uint32_t blueMask = 0;
};

struct DirectDrawFacts {
  std::string driverName;  // the card
  std::string driverFile;
  uint16_t driverVersion[4] = {};  // most significant part first
  bool hardware = false;
  bool hardwareStretch = false;
  uint64_t videoTotalBytes = 0;  // 0 when unknown
  std::optional<uint64_t> videoFreeBytes;
  // Both set when a back buffer exists.
  std::optional<SurfaceFacts> primary;
  std::optional<SurfaceFacts> backBuffer;
  PixelFacts pixel;
};

// Texture formats a Direct3D device offers, in the order they are listed.
constexpr uint32_t kTexture555 = 0x01;
constexpr uint32_t kTexture565 = 0x02;
constexpr uint32_t kTexture1555 = 0x04;
constexpr uint32_t kTexture4444 = 0x08;
constexpr uint32_t kTexture888 = 0x10;
constexpr uint32_t kTextureX888 = 0x20;
constexpr uint32_t kTexture8888 = 0x40;

// Texture capability bits that limit texture sizes.
constexpr uint32_t kTextureCapsPow2 = 0x002;
constexpr uint32_t kTextureCapsSquareOnly = 0x020;
constexpr uint32_t kTextureCapsNonPow2Conditional = 0x100;

struct Direct3DFacts {
  uint32_t deviceType = 0;  // 0 HEL, 1 HAL, 2 T&L
  uint32_t zBufferBits = 0;
  uint32_t textureFormats = 0;  // kTexture* bits
  uint32_t maxTextureStages = 0;
  uint32_t minTextureWidth = 0;
  uint32_t minTextureHeight = 0;
  uint32_t maxTextureWidth = 0;
  uint32_t maxTextureHeight = 0;
  bool drawPrimitiveVertex = false;
  bool alphaBlending = false;
  bool gouraudAlpha = false;
  bool alphaTest = false;
  bool zBufferLessHsr = false;
  uint32_t textureCaps = 0;
  uint32_t textureOpCaps = 0;
  uint32_t srcBlendCaps = 0;
  uint32_t destBlendCaps = 0;
};

// The presentation texture of the Direct3D path.
struct PresentTextureFacts {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t typeClass = 0;
  bool directBlt = false;
};

enum class PresentPath { kGdi, kDirectDraw, kDirect3D };

struct DisplayFacts {
  bool initialised = false;  // the display manager has made its devices
  bool fullScreen = false;
  std::string deviceDescription;  // the selected full-screen device; empty when none
  uint32_t width = 0;             // the device's display size, else the canvas size
  uint32_t height = 0;
  uint32_t bitsPerPixel = 0;
  PresentPath path = PresentPath::kGdi;
  bool vsync = false;
  bool flip = false;
  std::optional<DirectDrawFacts> directDraw;
  std::optional<Direct3DFacts> direct3D;       // the Direct3D device in use
  std::optional<PresentTextureFacts> texture;  // the presentation texture in use
};

struct SoundDeviceFacts {
  std::string description;
  std::string module;
  bool hasGuid = true;  // false for the default-device entry
};

struct SoundFacts {
  bool available = false;
  std::vector<SoundDeviceFacts> devices;
};

struct JoystickFacts {
  uint32_t number = 0;
  std::string name;
  uint32_t axes = 0;
  uint32_t buttons = 0;
};

struct InputFacts {
  uint32_t mode = 0;  // 0 DirectInput, 1 Windows API, 2 window messages
  uint32_t keyCount = 0;
  uint32_t mouseAxes = 0;
  uint32_t mouseButtons = 0;
  std::optional<JoystickFacts> joystick;  // the first one
};

enum class DriveType { kUnknown, kRemovable, kFixed, kRemote, kCdRom, kRamDisk };

struct DriveFacts {
  std::string root;  // the mount point
  DriveType type = DriveType::kUnknown;
  bool spaceKnown = false;
  uint64_t freeBytes = 0;
  uint64_t totalBytes = 0;
  std::string volumeName;  // empty when unknown
};

struct ProcessFacts {
  uint32_t pid = 0;
  std::string name;  // the command name
  std::string path;  // the program file; empty when it cannot be read
};

}  // namespace bw
