// Services the game application holds for the subsystems that build on it: the transition and
// effect keyword registries, the sound-decoder manager with its plug-in scan, and the movie
// libraries. What those subsystems have not brought yet reads as absent.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/global.h"
#include "effects/effect_registries.h"
#include "sound/movie_control.h"

namespace bw {

class SllPluginManager;
class SoundFileSource;
class FileSystemSoundSource;

// Where the start-up looks for plug-in libraries.
inline constexpr char kPluginFolderName[] = "plugin";

class GameServices {
 public:
  // Publishes the decoder manager, the game's sound files and the two registries.
  GameServices();
  ~GameServices();
  GameServices(const GameServices&) = delete;
  GameServices& operator=(const GameServices&) = delete;

  // Start-up: the built-in sound decoder, then the decoder plug-ins of the plugin folder, and the
  // application's built-in transition and effect keywords (no effect plug-in is loaded). Answers
  // how many decoder plug-ins loaded, -1 when the plugin folder has no path.
  int32_t Start();

  SllPluginManager& Decoders() { return *decoders_; }
  TcpPluginManager& Transitions() { return transitions_; }
  DcpPluginManager& Effects() { return effects_; }
  const MovieLibrarySet& Movies() const { return movies_; }
  // The movie library records, published for the movie wrappers: none when load is off, the
  // sprite player with the movie-in-sprite option, else the primitive one.
  void LoadMovieLibraries(bool load, bool movieInSprite, FileSystemManager* fileSystem);

 private:
  std::unique_ptr<SllPluginManager> decoders_;
  std::unique_ptr<FileSystemSoundSource> soundFiles_;
  ScopedGlobal<SllPluginManager> publishedDecoders_;
  ScopedGlobal<SoundFileSource> publishedSoundFiles_;
  TcpPluginManager transitions_;
  DcpPluginManager effects_;
  ScopedGlobal<TcpPluginManager> publishedTransitions_{&transitions_};
  ScopedGlobal<DcpPluginManager> publishedEffects_{&effects_};
  MovieLibrarySet movies_;
  bool moviesPublished_ = false;
};

// ApplyKeyAssignments and ApplyJoystickAssignments results.
constexpr int kAssignmentsApplied = 0;
constexpr int kAssignmentsNoTable = 1;  // the devices are not set up yet

// The first of the actions whose keys the player assigns, and how many there are.
constexpr uint32_t kFirstAssignedAction = 4;
constexpr uint32_t kAssignedActionCount = 16;

}  // namespace bw
