// The sound device of the engine: the host's sound device with its cooperative level, primary
// format and a silent keep-alive buffer, the list of buffers the main script makes by handle,
// the list of output devices, and the export of a decoded sound as a wave file.
// Published as Global<DirectSoundDevice>; every buffer reaches the device through it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "host/audio/audio_output.h"
#include "host/audio/sound_device.h"
#include "host/messages.h"

namespace bw {

class SoundBuffer;
class SllPluginManager;

struct SoundDeviceGuid {
  uint8_t bytes[16] = {};
  bool IsNull() const;
};

// Results of DirectSoundDeviceBase::Create.
constexpr int32_t kDeviceCreated = 0;
constexpr int32_t kDeviceNoCom = 1;
constexpr int32_t kDeviceNotMade = 2;
constexpr int32_t kDeviceInitializeRefused = 3;
constexpr int32_t kDeviceNoCooperativeLevel = 4;
constexpr int32_t kDeviceNoKeepAlive = 5;
// Results of SetCooperativeLevel, CreateKeepAliveBuffer and KeepAlive.
constexpr int32_t kDeviceOk = 0;
constexpr int32_t kDeviceMissing = 1;
constexpr int32_t kDeviceRefused = 2;
constexpr int32_t kKeepAliveNotLocked = 3;
constexpr int32_t kKeepAliveNotUnlocked = 4;
// Results of SetPrimaryFormat beyond those of Create.
constexpr int32_t kPrimaryNeedsPriority = -1;
constexpr int32_t kPrimaryFormatRefused = -2;
constexpr int32_t kPrimaryNotMade = 6;
// The format is set but the sound output would not open: nothing can be heard.
constexpr int32_t kPrimaryNoOutput = 7;
// Results of the buffer list.
constexpr int32_t kListOk = 0;
constexpr int32_t kListNullBuffer = 1;
constexpr int32_t kListNotListed = 2;
constexpr int32_t kDuplicateNotMade = 3;
constexpr int32_t kStreamNotMade = 7;
constexpr int32_t kBufferNotMade = 8;

// The feeder threads' priorities by index; index 2 leaves a thread's priority alone.
constexpr int32_t kFeederPriorityNormal = 2;

// Where the mixed sound goes: nowhere (tests and headless runs pull from the host device), or
// the backend's audio output (SDL's in the program) once the primary format is set.
enum class SoundOutput { kNone, kBackend };

class DirectSoundDeviceBase {
 public:
  DirectSoundDeviceBase();
  virtual ~DirectSoundDeviceBase();
  DirectSoundDeviceBase(const DirectSoundDeviceBase&) = delete;
  DirectSoundDeviceBase& operator=(const DirectSoundDeviceBase&) = delete;

  // A null or all-zero guid is the primary sound driver, the only device there is.
  [[nodiscard]] int32_t Create(host::HWND window, bool globalFocus, bool software,
                               const SoundDeviceGuid* guid);
  [[nodiscard]] int32_t SetCooperativeLevel(int32_t level);
  [[nodiscard]] int32_t CreateKeepAliveBuffer();
  // Called just before a buffer is stopped or paused: while that buffer plays, the silent
  // keep-alive buffer starts, so that a buffer keeps playing across the stop.
  [[nodiscard]] int32_t KeepAlive(host::SoundBuffer* buffer);
  void ReleaseAll();

  host::SoundDevice* Device() const { return device_.get(); }
  int32_t CooperativeLevel() const { return level_; }
  // The flags every buffer adds: global focus and software by the settings.
  uint32_t ExtraBufferFlags() const;
  uint8_t FeederPriorityIndex() const { return feederPriority_; }
  void SetFeederPriorityIndex(uint8_t index) { feederPriority_ = index; }
  host::SoundBuffer* KeepAliveBuffer() const { return keepAlive_.get(); }

 protected:
  bool comInitialized_ = false;
  bool globalFocus_ = false;
  bool software_ = false;
  uint8_t feederPriority_ = kFeederPriorityNormal;
  std::unique_ptr<host::SoundDevice> device_;
  host::HWND window_;
  int32_t level_ = 0;
  std::unique_ptr<host::SoundBuffer> keepAlive_;
};

class DirectSoundDevice : public DirectSoundDeviceBase {
 public:
  explicit DirectSoundDevice(SoundOutput output = SoundOutput::kNone);
  ~DirectSoundDevice() override;

  // rateCode 8, 11, 22 or 44 for 8000, 11025, 22050 or 44100 Hz; any other value is the rate.
  [[nodiscard]] int32_t SetPrimaryFormat(host::HWND window, bool globalFocus, bool software,
                                         const SoundDeviceGuid* guid, uint16_t channels,
                                         uint32_t rateCode, uint16_t bitsPerSample);
  void ReleasePrimaryBuffer();
  host::SoundBuffer* PrimaryBuffer() const { return primary_.get(); }
  // Whether the backend's output plays, and why not.
  bool IsOutputOpen() const;
  std::string OutputError() const;

  // On 0 the new buffer is listed and *out names it; the list owns it. Any other result
  // (also a buffer made without its controls, -1) destroys it.
  [[nodiscard]] int32_t CreateBuffer(SoundBuffer** out, const char* file, uint8_t lipSyncMode);
  [[nodiscard]] int32_t CreateDuplicate(SoundBuffer** out, SoundBuffer* source);
  [[nodiscard]] int32_t CreateStream(SoundBuffer** out, const char* file, const char* loopFile);
  [[nodiscard]] int32_t RemoveBuffer(SoundBuffer* buffer);
  void PauseAllBuffers();
  void ResumeAllBuffers();
  void StopAllBuffers();
  void DeleteAllBuffers();
  size_t BufferCount() const { return buffers_.size(); }

 private:
  [[nodiscard]] int32_t Append(std::unique_ptr<SoundBuffer> buffer, int32_t result,
                               SoundBuffer** out);

  SoundOutput output_;
  std::unique_ptr<host::SoundBuffer> primary_;
  std::unique_ptr<host::AudioOutput> audio_;
  std::list<std::unique_ptr<SoundBuffer>> buffers_;  // in creation order
};

// What the player is told (CP932) when the sound device cannot be used.
std::string SoundDeviceWarningText();

// The output devices, listed at start-up and for the system report.
struct SoundDeviceRecord {
  SoundDeviceGuid guid;
  bool primary = false;  // the primary sound driver: no guid of its own
  std::string description;
  std::string module;
};

constexpr int32_t kEnumerated = 0;
constexpr int32_t kNoSoundDevice = -1;
[[nodiscard]] int32_t EnumerateSoundDevices();
void FreeSoundDeviceList();
const std::vector<SoundDeviceRecord>& SoundDeviceList();

// Results of ExportSoundAsWave.
constexpr int32_t kExportDone = 0;
constexpr int32_t kExportBadArgument = 1;
constexpr int32_t kExportNoDecoder = 2;
constexpr int32_t kExportCannotWrite = 3;
constexpr int32_t kExportOutOfMemory = 4;
// Size of the RIFF/WAVE header written before the samples.
constexpr uint32_t kWaveHeaderBytes = 46;

// The RIFF/WAVE header of a file of format whose samples, dataBytes of them, follow it.
std::vector<uint8_t> WaveHeader(const host::WaveFormat& format, uint32_t dataBytes);

// Decodes soundFile (a name for the decoder manager, by default Global<SllPluginManager>) into a
// RIFF/WAVE file at outputFile. The old file stays as it was unless the whole file was written.
[[nodiscard]] int32_t ExportSoundAsWave(const char* soundFile,
                                        const std::filesystem::path& outputFile,
                                        SllPluginManager* decoderManager);

}  // namespace bw
