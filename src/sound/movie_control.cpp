#include "sound/movie_control.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "common/global.h"
#include "common/sjis.h"
#include "resource/packs/file_system_manager.h"
#include "sound/direct_sound_device.h"

namespace bw {

namespace {

constexpr uint32_t kFullMovieVolume = 256;
std::atomic<uint32_t> movieVolumeSetting{kFullMovieVolume};
const MovieLibrarySet* publishedLibraries = nullptr;

// The engine's stream as the player reads it; the source holds one reference.
class StreamMovieSource final : public host::MovieSource {
 public:
  explicit StreamMovieSource(Stream* stream) : stream_(stream) {}
  ~StreamMovieSource() override { stream_->Release(); }
  uint32_t Read(uint8_t* buffer, uint32_t size) override { return stream_->Read(buffer, size); }
  bool Seek(uint64_t position) override {
    if (position > stream_->GetSize()) return false;
    stream_->Seek(static_cast<uint32_t>(position));  // answers a status, not the position
    return stream_->Tell() == position;
  }
  uint64_t Size() override { return stream_->GetSize(); }

 private:
  Stream* stream_;
};

// The movie's sound as a decoder stream, pulled by the streaming buffer's feeder.
class MovieSoundStream final : public SoundDecoderStream {
 public:
  explicit MovieSoundStream(host::MoviePlayer* player) : player_(player) {
    format_.channels = host::kMovieSoundChannels;
    format_.samplesPerSec = player->SoundRate();
    format_.bitsPerSample = 16;
    format_.blockAlign = host::kMovieSoundBytesPerFrame;
    format_.avgBytesPerSec = format_.samplesPerSec * format_.blockAlign;
  }
  uint32_t GetLengthMs() override { return player_->LengthMs(); }
  uint32_t GetPcmBytes() override {
    return static_cast<uint32_t>(std::min<uint64_t>(
        uint64_t{player_->LengthMs()} * format_.avgBytesPerSec / 1000 / 4 * 4, UINT32_MAX));
  }
  int32_t SeekMs(uint32_t ms) override {
    return player_->SeekSoundMs(ms) == host::kMovieOk ? kSllOk : kSllCannotOpen;
  }
  uint32_t GetPositionMs() override { return player_->SoundPositionMs(); }
  bool IsEnd() override { return player_->SoundAtEnd(); }
  uint32_t Read(void* buffer, uint32_t size) override {
    return player_->ReadSound(static_cast<uint8_t*>(buffer), size);
  }
  const host::WaveFormat* GetFormat() override { return &format_; }

 private:
  host::MoviePlayer* player_;
  host::WaveFormat format_;
};

}  // namespace

std::unique_ptr<host::MovieSource> MakeMovieSource(Stream* stream) {
  return std::make_unique<StreamMovieSource>(stream);
}

uint32_t MovieHelperLibrary::GetDllVersion() const {
  switch (kind) {
    case MovieLibraryKind::kSprite:
      return kSpriteMovieVersion;
    case MovieLibraryKind::kPrimitive:
      return kPrimitiveMovieVersion;
    case MovieLibraryKind::kWindow:
      return kWindowMovieVersion;
  }
  return 0;
}

MovieLibrarySet MakeMovieLibraries(bool load, bool movieInSprite, FileSystemManager* fileSystem) {
  MovieLibrarySet set;
  if (!load) return set;
  auto make = [fileSystem](MovieLibraryKind kind) {
    auto library = std::make_unique<MovieHelperLibrary>();
    library->kind = kind;
    library->fileSystem = fileSystem;
    return library;
  };
  if (movieInSprite) {
    set.sprite = make(MovieLibraryKind::kSprite);
  } else {
    set.primitive = make(MovieLibraryKind::kPrimitive);
  }
  set.window = make(MovieLibraryKind::kWindow);
  return set;
}

void PublishMovieLibraries(const MovieLibrarySet* set) {
  publishedLibraries = set;
}

MovieHelperLibrary* GetMovieLibrary(MovieLibraryKind kind) {
  if (!publishedLibraries) return nullptr;
  switch (kind) {
    case MovieLibraryKind::kSprite:
      return publishedLibraries->sprite.get();
    case MovieLibraryKind::kPrimitive:
      return publishedLibraries->primitive.get();
    case MovieLibraryKind::kWindow:
      return publishedLibraries->window.get();
  }
  return nullptr;
}

bool MovieMediaType(std::string_view name, int32_t* type) {
  static constexpr struct {
    const char* extension;
    int32_t type;
  } kTypes[] = {{"mpg", kMediaMpeg},      {"mpeg", kMediaMpeg}, {"mpv", kMediaMpegVideo},
                {"dat", kMediaVideoCd},   {"avi", kMediaAvi},   {"mov", kMediaQuickTime},
                {"mp4", kMediaQuickTime}, {"wmv", kMediaAsf},   {"asf", kMediaAsf},
                {"wma", kMediaAsf}};
  const size_t dot = sjis::FindLast(name, '.');
  const size_t separator = sjis::FindLastSeparator(name);
  if (dot == sjis::npos || (separator != sjis::npos && separator > dot)) return false;
  const std::string_view extension = name.substr(dot + 1);
  for (const auto& entry : kTypes) {
    if (sjis::EqualsNoCase(extension, entry.extension)) {
      *type = entry.type;
      return true;
    }
  }
  return false;
}

int32_t MovieVolumeOf(int32_t volume) {
  const int64_t scaled = int64_t{std::min(volume, 256)} * MovieVolumeSetting() / kFullMovieVolume;
  if (volume < 1 || scaled < 1) return host::kVolumeMin;
  const double base = 17.2 - static_cast<double>(scaled) * 0.0671875;
  return -static_cast<int32_t>(std::trunc(base * base * base));
}

void SetMovieVolumeSetting(uint32_t setting) {
  movieVolumeSetting = std::min(setting, kFullMovieVolume);
}

uint32_t MovieVolumeSetting() {
  return movieVolumeSetting;
}

MovieControl::MovieControl() = default;

MovieControl::~MovieControl() {
  // The buffer's feeder reads through the stream, which reads the player: stop it first.
  sound_.reset();
  soundStream_.reset();
  player_.Reset();
}

int32_t MovieControl::Open(const char* file, FileSystemManager* fileSystem) {
  if (!file || !fileSystem) return kMovieBadArgument;
  std::string path;
  FileFindData data;
  const int found = fileSystem->FindFile(&path, file, &data);
  if (found != kFindInPack && (found != kFindLoose || data.folder)) return kMovieNotFound;
  int32_t mediaType = kMediaMpeg;
  if (found == kFindInPack && !MovieMediaType(file, &mediaType)) return kMovieBadExtension;
  int error = kFsOk;
  Stream* stream = fileSystem->OpenStream(file, nullptr, &error);
  if (!stream) return kMovieNotFound;
  const DirectSoundDevice* device = Global<DirectSoundDevice>::Get();
  uint32_t rate = device && device->Device() ? device->Device()->PrimaryFormat().samplesPerSec : 0;
  if (rate == 0) rate = 44100;
  if (player_.Open(MakeMovieSource(stream), mediaType, rate) != host::kMovieOk) {
    return kMovieLibraryRefused;
  }
  if (player_.HasSound()) {
    soundStream_ = MakeDecoder<MovieSoundStream>(&player_);
    sound_ = std::make_unique<StreamingSoundBuffer>();
    // Without a sound device the movie plays silent.
    if (sound_->OpenDecoder(soundStream_.get()) > kStreamOpened) sound_.reset();
  }
  return kMovieOpened;
}

void MovieControl::StopSound() {
  // Stopping rewinds the sound's decoder: only once.
  if (!sound_ || !soundRunning_) return;
  soundRunning_ = false;
  (void)sound_->Stop();  // stopping a secondary buffer cannot fail
}

void MovieControl::StartSound() {
  if (!sound_) return;
  int64_t position = 0;
  (void)player_.GetPosition(&position);  // a closed player leaves the start
  (void)sound_->Stop();                  // stopping a secondary buffer cannot fail
  // A sound that cannot seek there plays from wherever its decoder was left.
  (void)sound_->SeekMs(static_cast<uint32_t>(std::max<int64_t>(position, 0) / 10000));
  soundRunning_ = sound_->Play() == kSoundBufferOk;
}

int32_t MovieControl::Play() {
  const int32_t r = player_.Play();
  if (r == host::kMovieOk) StartSound();
  return r;
}

int32_t MovieControl::Pause() {
  const int32_t r = player_.Pause();
  // A sound that is not running has nothing to pause.
  if (r == host::kMovieOk && sound_) (void)sound_->Pause();
  return r;
}

int32_t MovieControl::Resume() {
  int32_t state = host::kMovieStopped;
  (void)player_.GetState(&state);  // a closed player reads as stopped
  const int32_t r = player_.Resume();
  if (r == host::kMovieOk && state == host::kMoviePaused) StartSound();
  return r;
}

int32_t MovieControl::Stop() {
  const int32_t r = player_.Stop();
  if (r == host::kMovieOk) StopSound();
  return r;
}

int32_t MovieControl::GetLength(int64_t* units) {
  return player_.GetLength(units);
}

int32_t MovieControl::Seek(int64_t units) {
  const int32_t r = player_.Seek(units);
  int32_t state = host::kMovieStopped;
  (void)player_.GetState(&state);  // a closed player reads as stopped
  if (state == host::kMoviePlaying) StartSound();
  return r;
}

int32_t MovieControl::GetPosition(int64_t* units) {
  return player_.GetPosition(units);
}

int32_t MovieControl::GetState(int32_t* state) {
  const int32_t r = player_.GetState(state);
  // The sound of a movie that ended by itself stops with it.
  if (r == host::kMovieOk && state && *state == host::kMovieStopped) StopSound();
  return r;
}

int32_t MovieControl::SetVolume(int32_t hundredths) {
  if (!player_.IsOpen()) return kMovieNone;
  host::SoundBuffer* buffer = sound_ ? sound_->GetDirectSoundBuffer() : nullptr;
  // A buffer made without this control keeps its level; the movie plays on.
  if (buffer) (void)buffer->SetVolume(hundredths);
  return 0;
}

int32_t MovieControl::SetBalance(double balance) {
  if (!player_.IsOpen()) return kMovieNone;
  if (!std::isfinite(balance)) return kMovieBadArgument;
  host::SoundBuffer* buffer = sound_ ? sound_->GetDirectSoundBuffer() : nullptr;
  if (buffer) {
    // A buffer made without this control keeps its level; the movie plays on.
    (void)buffer->SetPan(
        static_cast<int32_t>(std::clamp<double>(balance, host::kPanLeft, host::kPanRight)));
  }
  return 0;
}

int32_t MovieControl::SetRate(double rate) {
  const int32_t r = player_.SetRate(rate);
  if (r != host::kMovieOk) return r;
  host::SoundBuffer* buffer = sound_ ? sound_->GetDirectSoundBuffer() : nullptr;
  if (buffer) {
    const double hz =
        std::clamp<double>(rate * player_.SoundRate(), host::kFrequencyMin, host::kFrequencyMax);
    // A buffer made without this control keeps its level; the movie plays on.
    (void)buffer->SetFrequency(static_cast<uint32_t>(hz));
  }
  return r;
}

MovieWrapper::~MovieWrapper() = default;

int32_t MovieWrapper::OpenControl(const char* file, FileSystemManager* fileSystem) {
  ResetControl();
  auto control = std::make_unique<MovieControl>();
  const int32_t r = control->Open(file, fileSystem);
  if (r == kMovieOpened) control_ = std::move(control);
  return r;
}

void MovieWrapper::ResetControl() {
  control_.reset();
  loop_ = false;
  volume_ = 256;
}

int32_t MovieWrapper::Play() {
  return control_ ? control_->Play() : kMovieNone;
}
int32_t MovieWrapper::Pause() {
  return control_ ? control_->Pause() : kMovieNone;
}
int32_t MovieWrapper::Resume() {
  return control_ ? control_->Resume() : kMovieNone;
}
int32_t MovieWrapper::Stop() {
  return control_ ? control_->Stop() : kMovieNone;
}
int32_t MovieWrapper::GetLength(int64_t* units) {
  return control_ ? control_->GetLength(units) : kMovieNone;
}
int32_t MovieWrapper::Seek(int64_t units) {
  return control_ ? control_->Seek(units) : kMovieNone;
}
int32_t MovieWrapper::GetPosition(int64_t* units) {
  return control_ ? control_->GetPosition(units) : kMovieNone;
}
int32_t MovieWrapper::GetState(int32_t* state) {
  return control_ ? control_->GetState(state) : kMovieNone;
}
int32_t MovieWrapper::SetBalance(double balance) {
  return control_ ? control_->SetBalance(balance) : kMovieNone;
}
int32_t MovieWrapper::SetRate(double rate) {
  return control_ ? control_->SetRate(rate) : kMovieNone;
}

int32_t MovieWrapper::SetVolume(int32_t volume) {
  if (!control_) return kMovieNone;
  volume_ = volume < 1 ? 0 : std::min(volume, 256);
  return control_->SetVolume(MovieVolumeOf(volume));
}

void MovieWrapper::SetLoop(bool loop) {
  loop_ = loop;
  if (control_ && loopInPlayer_) control_->SetLoop(loop);
}

}  // namespace bw
