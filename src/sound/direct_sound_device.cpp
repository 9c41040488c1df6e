#include "sound/direct_sound_device.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/atomic_file.h"
#include "common/global.h"
#include "host/backend.h"
#include "host/cp932.h"
#include "platform/com_init.h"
#include "sound/direct_sound_buffer.h"
#include "sound/host_buffer_lock.h"
#include "sound/sll_plugin_manager.h"
#include "sound/streaming_sound_buffer.h"

namespace bw {
namespace {

// The keep-alive buffer: a tenth of a second of 8-bit mono silence at 8000 Hz.
constexpr uint32_t kKeepAliveRate = 8000;
constexpr uint32_t kKeepAliveBytes = 800;

std::vector<SoundDeviceRecord>& DeviceList() {
  static std::vector<SoundDeviceRecord> list;
  return list;
}

}  // namespace

bool SoundDeviceGuid::IsNull() const {
  return std::all_of(std::begin(bytes), std::end(bytes), [](uint8_t b) { return b == 0; });
}

DirectSoundDeviceBase::DirectSoundDeviceBase()
    : comInitialized_(ComInitializeForThread() == kComDone) {}

DirectSoundDeviceBase::~DirectSoundDeviceBase() {
  ReleaseAll();
  if (comInitialized_) (void)ComUninitializeForThread();  // another thread has none to take back
}

int32_t DirectSoundDeviceBase::Create(host::HWND window, bool globalFocus, bool software,
                                      const SoundDeviceGuid* guid) {
  if (!comInitialized_) return kDeviceNoCom;
  ReleaseAll();
  device_ = std::unique_ptr<host::SoundDevice>(new (std::nothrow) host::SoundDevice);
  if (!device_) return kDeviceNotMade;
  if (guid && !guid->IsNull()) {
    ReleaseAll();
    return kDeviceInitializeRefused;
  }
  window_ = window;
  if (SetCooperativeLevel(host::kCooperativePriority) != kDeviceOk &&
      SetCooperativeLevel(host::kCooperativeNormal) != kDeviceOk) {
    ReleaseAll();
    return kDeviceNoCooperativeLevel;
  }
  software_ = software;
  globalFocus_ = globalFocus;
  if (CreateKeepAliveBuffer() != kDeviceOk) {
    ReleaseAll();
    return kDeviceNoKeepAlive;
  }
  return kDeviceCreated;
}

int32_t DirectSoundDeviceBase::SetCooperativeLevel(int32_t level) {
  if (!device_) return kDeviceMissing;
  if (device_->SetCooperativeLevel(level) != host::kSoundOk) return kDeviceRefused;
  level_ = level;
  return kDeviceOk;
}

uint32_t DirectSoundDeviceBase::ExtraBufferFlags() const {
  return (globalFocus_ ? host::kBufferGlobalFocus : 0) | (software_ ? host::kBufferLocSoftware : 0);
}

int32_t DirectSoundDeviceBase::CreateKeepAliveBuffer() {
  keepAlive_.reset();
  if (!device_) return kDeviceMissing;
  const host::WaveFormat format = host::MakePcmFormat(1, kKeepAliveRate, 8);
  std::unique_ptr<host::SoundBuffer> buffer;
  if (device_->CreateBuffer({ExtraBufferFlags(), kKeepAliveBytes, &format}, &buffer) !=
      host::kSoundOk) {
    return kDeviceRefused;
  }
  host::LockedRegions r;
  if (LockRestoringLost(*buffer, 0, 0, &r, host::kLockEntireBuffer) != host::kSoundOk) {
    return kKeepAliveNotLocked;
  }
  std::memset(r.first, 0x80, r.firstBytes);
  if (buffer->Unlock(r) != host::kSoundOk) return kKeepAliveNotUnlocked;
  keepAlive_ = std::move(buffer);
  return kDeviceOk;
}

int32_t DirectSoundDeviceBase::KeepAlive(host::SoundBuffer* buffer) {
  if (!keepAlive_ || buffer == nullptr) return kDeviceMissing;
  uint32_t status = 0;
  if (buffer->GetStatus(&status) == host::kSoundOk && (status & host::kStatusPlaying)) {
    // A buffer that does not start stays silent and is played again on the next command.
    (void)keepAlive_->Play(0);
  }
  return kDeviceOk;
}

void DirectSoundDeviceBase::ReleaseAll() {
  keepAlive_.reset();
  device_.reset();
  window_ = host::HWND{};
  level_ = 0;
}

// Out of line: the buffer list's element type is complete only here.
DirectSoundDevice::DirectSoundDevice(SoundOutput output) : output_(output) {}

DirectSoundDevice::~DirectSoundDevice() {
  DeleteAllBuffers();
  ReleasePrimaryBuffer();
  if (audio_) audio_->Close();
  audio_.reset();
  FreeSoundDeviceList();
  if (Global<DirectSoundDevice>::Get() == this) Global<DirectSoundDevice>::Clear();
}

int32_t DirectSoundDevice::SetPrimaryFormat(host::HWND window, bool globalFocus, bool software,
                                            const SoundDeviceGuid* guid, uint16_t channels,
                                            uint32_t rateCode, uint16_t bitsPerSample) {
  int32_t result = kDeviceCreated;
  if (!device_) {
    result = Create(window, globalFocus, software, guid);
    if (result != kDeviceCreated) return result;
  }
  ReleasePrimaryBuffer();
  if (level_ < host::kCooperativePriority) return kPrimaryNeedsPriority;
  if (device_->CreateBuffer({host::kBufferPrimary, 0, nullptr}, &primary_) != host::kSoundOk) {
    return kPrimaryNotMade;
  }
  uint32_t rate = rateCode;
  switch (rateCode) {
    case 8:
      rate = 8000;
      break;
    case 11:
      rate = 11025;
      break;
    case 22:
      rate = 22050;
      break;
    case 44:
      rate = 44100;
      break;
    default:
      break;
  }
  if (primary_->SetFormat(host::MakePcmFormat(channels, rate, bitsPerSample)) != host::kSoundOk) {
    return kPrimaryFormatRefused;
  }
  if (output_ == SoundOutput::kBackend) {
    host::Backend* backend = host::CurrentBackend();
    if (!audio_ && backend) audio_ = backend->MakeAudioOutput(*device_);
    // The rate of the new format takes effect on reopening; a failure is told by IsOpen.
    if (audio_) (void)audio_->Open();
    if (!audio_ || !audio_->IsOpen()) return kPrimaryNoOutput;
  }
  return result;
}

void DirectSoundDevice::ReleasePrimaryBuffer() {
  primary_.reset();
}

bool DirectSoundDevice::IsOutputOpen() const {
  return audio_ && audio_->IsOpen();
}

std::string DirectSoundDevice::OutputError() const {
  if (output_ == SoundOutput::kNone) return "no output: the mixer is pulled directly";
  if (audio_) return audio_->Error();
  return host::CurrentBackend() ? "the primary format was not set" : "no backend to play through";
}

int32_t DirectSoundDevice::Append(std::unique_ptr<SoundBuffer> buffer, int32_t result,
                                  SoundBuffer** out) {
  if (out) *out = nullptr;
  // Only a buffer that loaded in full is listed; one made without its controls goes too.
  if (result != 0) return result;
  if (out) *out = buffer.get();
  buffers_.push_back(std::move(buffer));
  return result;
}

int32_t DirectSoundDevice::CreateBuffer(SoundBuffer** out, const char* file, uint8_t lipSyncMode) {
  auto buffer = std::unique_ptr<DirectSoundBuffer>(new (std::nothrow) DirectSoundBuffer);
  if (!buffer) return kBufferNotMade;
  const int32_t r = buffer->Load(file, lipSyncMode);
  return Append(std::move(buffer), r, out);
}

int32_t DirectSoundDevice::CreateDuplicate(SoundBuffer** out, SoundBuffer* source) {
  auto buffer = std::unique_ptr<DirectSoundBuffer>(new (std::nothrow) DirectSoundBuffer);
  if (!buffer) return kDuplicateNotMade;
  const int32_t r = buffer->DuplicateFrom(source);
  return Append(std::move(buffer), r, out);
}

int32_t DirectSoundDevice::CreateStream(SoundBuffer** out, const char* file, const char* loopFile) {
  auto buffer = std::unique_ptr<StreamingSoundBuffer>(new (std::nothrow) StreamingSoundBuffer);
  if (!buffer) return kStreamNotMade;
  const int32_t r = buffer->Open(file, loopFile);
  return Append(std::move(buffer), r, out);
}

int32_t DirectSoundDevice::RemoveBuffer(SoundBuffer* buffer) {
  if (buffer == nullptr) return kListNullBuffer;
  auto it = std::find_if(buffers_.begin(), buffers_.end(),
                         [buffer](const auto& b) { return b.get() == buffer; });
  if (it == buffers_.end()) return kListNotListed;
  buffers_.erase(it);
  return kListOk;
}

// Buffers that are not playing, not paused or not loaded have nothing to do: the others still
// do theirs.
void DirectSoundDevice::PauseAllBuffers() {
  for (auto& b : buffers_) (void)b->Pause();
}

void DirectSoundDevice::ResumeAllBuffers() {
  for (auto& b : buffers_) (void)b->Resume();
}

void DirectSoundDevice::StopAllBuffers() {
  for (auto& b : buffers_) (void)b->Stop();
}

void DirectSoundDevice::DeleteAllBuffers() {
  buffers_.clear();
}

std::string SoundDeviceWarningText() {
  return host::Cp932Literal(
      "サウンドカードが正常に接続されていないか\n対応していないため、DirectSoundを利用できません。"
      "\nサウンドを再生できません。");
}

int32_t EnumerateSoundDevices() {
  FreeSoundDeviceList();
  // Every buffer plays through the one mixer, heard through SDL's output (or pulled by tests):
  // the primary sound driver is the only device.
  SoundDeviceRecord primary;
  primary.primary = true;
  primary.description = "Primary Sound Driver";
  DeviceList().push_back(primary);
  return DeviceList().empty() ? kNoSoundDevice : kEnumerated;
}

void FreeSoundDeviceList() {
  DeviceList().clear();
}

const std::vector<SoundDeviceRecord>& SoundDeviceList() {
  return DeviceList();
}

namespace {

void PutLe(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutTag(std::vector<uint8_t>& out, const char (&tag)[5]) {
  out.insert(out.end(), tag, tag + 4);
}

constexpr uint32_t kExportBlock = 32768;
constexpr uint32_t kFormatChunkBytes = 18;

}  // namespace

std::vector<uint8_t> WaveHeader(const host::WaveFormat& f, uint32_t dataBytes) {
  std::vector<uint8_t> wave;
  wave.reserve(kWaveHeaderBytes);
  PutTag(wave, "RIFF");
  PutLe(wave, kWaveHeaderBytes - 8 + dataBytes, 4);
  PutTag(wave, "WAVE");
  PutTag(wave, "fmt ");
  PutLe(wave, kFormatChunkBytes, 4);
  PutLe(wave, f.formatTag, 2);
  PutLe(wave, f.channels, 2);
  PutLe(wave, f.samplesPerSec, 4);
  PutLe(wave, f.avgBytesPerSec, 4);
  PutLe(wave, f.blockAlign, 2);
  PutLe(wave, f.bitsPerSample, 2);
  PutLe(wave, f.extraSize, 2);
  PutTag(wave, "data");
  PutLe(wave, dataBytes, 4);
  return wave;
}

int32_t ExportSoundAsWave(const char* soundFile, const std::filesystem::path& outputFile,
                          SllPluginManager* decoderManager) {
  if (decoderManager == nullptr) decoderManager = Global<SllPluginManager>::Get();
  if (soundFile == nullptr || outputFile.empty() || decoderManager == nullptr) {
    return kExportBadArgument;
  }
  DecoderRef decoder(decoderManager->Open(soundFile, nullptr, true, nullptr));
  if (!decoder) return kExportNoDecoder;
  const host::WaveFormat& f = *decoder->GetFormat();
  // The file is built in memory, so that the sizes stand in the header when it is written.
  std::vector<uint8_t> wave;
  try {
    wave = WaveHeader(f, 0);
    // At most a second more than the decoder announced: a decoder that never ends stops here.
    const uint64_t limit = uint64_t{decoder->GetPcmBytes()} + f.avgBytesPerSec;
    const uint64_t ceiling = UINT32_MAX - kWaveHeaderBytes;
    uint64_t data = 0;
    while (data < std::min(limit, ceiling)) {
      const uint32_t ask =
          static_cast<uint32_t>(std::min<uint64_t>(kExportBlock, std::min(limit, ceiling) - data));
      const size_t at = wave.size();
      wave.resize(at + ask);
      const uint32_t n = decoder->Read(wave.data() + at, ask);
      if (n == 0 || n > ask) {
        wave.resize(at);
        break;
      }
      wave.resize(at + n);
      data += n;
    }
    const std::vector<uint8_t> header = WaveHeader(f, static_cast<uint32_t>(data));
    std::copy(header.begin(), header.end(), wave.begin());
  } catch (const std::bad_alloc&) {
    return kExportOutOfMemory;
  }
  if (!WriteFileAtomically(outputFile, wave)) return kExportCannotWrite;
  return kExportDone;
}

}  // namespace bw
