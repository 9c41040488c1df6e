// The movie natives work on whichever form is open: the render item, the sprite, else the
// window-level movie, which the window thread also reaches and so is only touched under the
// application's movie lock.
#include "natives/movie_natives.h"

#include <string>
#include <type_traits>
#include <utility>

#include "common/global.h"
#include "graphics/device/display_manager.h"
#include "graphics/surface/composition_layer.h"
#include "natives/native_families.h"
#include "script/native_names.h"
#include "sound/movie_object.h"
#include "sound/movie_prim_control.h"
#include "sound/movie_sprite_control.h"

namespace bw {

int64_t MovieUnitsOfMs(int32_t ms) {
  return ms < 0 ? 0 : int64_t{ms} * 10000;
}

MovieNativeState::MovieNativeState(ScriptHost& /*host*/) {}
MovieNativeState::~MovieNativeState() = default;

namespace {

constexpr int64_t kUnitsPerMs = 10000;

MovieNativeState& State(NativeArgs& a) {
  return a.Host().Extension<MovieNativeState>();
}

// Runs op on the open movie and answers its result; none without one.
template <typename Op>
int32_t OnMovie(NativeArgs& a, int32_t none, Op op) {
  MovieNativeState& s = State(a);
  if (s.prim) return op(*s.prim);
  if (s.sprite) return op(*s.sprite);
  int32_t result = none;
  if (ScriptApplication* app = a.Host().Application()) {
    // Without a slot the answer stays the one for no movie.
    (void)app->UseMovieSlot([&](std::unique_ptr<MovieObject>& movie) {
      if (movie) result = op(*movie);
    });
  }
  return result;
}

// The window-level movie only (647, 648).
template <typename Op>
int32_t OnWindowMovie(NativeArgs& a, Op op) {
  constexpr int32_t kNoWindowMovie = 2;
  int32_t result = kNoWindowMovie;
  if (ScriptApplication* app = a.Host().Application()) {
    // Without a slot the answer stays the one for no movie.
    (void)app->UseMovieSlot([&](std::unique_ptr<MovieObject>& movie) {
      if (movie) result = op(*movie);
    });
  }
  return result;
}

void CloseAll(NativeArgs& a) {
  if (ScriptApplication* app = a.Host().Application()) {
    // Destroyed inside the lock: the window thread may be presenting it.
    // Without a slot there is no movie to close.
    (void)app->UseMovieSlot([](std::unique_ptr<MovieObject>& movie) { movie.reset(); });
  }
  MovieNativeState& s = State(a);
  s.prim.reset();
  s.sprite.reset();
}

// Shown in the screen's sprite composition when there is one; a movie it does not take still
// plays and the sprite natives can list it elsewhere (651). Destroying the sprite takes it out
// of whatever list holds it.
[[nodiscard]] int32_t OpenSprite(MovieNativeState& s, const char* file, uint32_t priority) {
  auto sprite = std::make_unique<MovieSpriteControl>();
  if (int32_t code = sprite->Open(file, 0, 0); code != kMovieOpened) return code;
  sprite->SetVisible(true);
  if (DisplayManager* display = Global<DisplayManager>::Get()) {
    if (CompositionLayer* screen = display->GetSpriteComposition())
      // Not taken (no memory), it still plays, as said above.
      (void)screen->AttachMovie(sprite.get(), priority);
  }
  s.sprite = std::move(sprite);
  return kMovieOpened;
}

[[nodiscard]] int32_t OpenRenderItem(MovieNativeState& s, const char* file, uint32_t priority) {
  DisplayManager* display = Global<DisplayManager>::Get();
  auto prim = std::make_unique<MoviePrimControl>();
  if (int32_t code = prim->Open(display, file, 0, 0); code != kMovieOpened) return code;
  // Open refuses a null display manager.
  // An object already listed stays where it is.
  (void)display->GetRenderList().Insert(prim.get(), priority, 0);
  s.prim = std::move(prim);
  return kMovieOpened;
}

// Opened before it goes into the slot, so a slow probe never holds the window thread.
[[nodiscard]] int32_t OpenWindow(ScriptApplication* app, const char* file) {
  if (!app) return kMovieNotCreated;
  auto movie = std::make_unique<MovieObject>();
  if (int32_t code = app->OpenWindowMovie(*movie, file); code != kMovieOpened) return code;
  bool placed =
      app->UseMovieSlot([&](std::unique_ptr<MovieObject>& slot) { slot = std::move(movie); });
  return placed ? kMovieOpened : kMovieNotCreated;
}

// 632: a failed open leaves no movie behind.
int32_t MovieOpen(NativeArgs& a) {
  std::string file;
  if (!a.Text(0, file)) return kMovieBadArgument;
  CloseAll(a);
  if (a.U32(1) != 0) return OpenWindow(a.Host().Application(), file.c_str());
  if (GetMovieLibrary(MovieLibraryKind::kSprite))
    return OpenSprite(State(a), file.c_str(), a.U32(2));
  return OpenRenderItem(State(a), file.c_str(), a.U32(2));
}

// 633
int32_t MovieClose(NativeArgs& a) {
  CloseAll(a);
  return 0;
}

// 634
int32_t MovieSetLoop(NativeArgs& a) {
  bool loop = a.U32(0) != 0;
  OnMovie(a, 0, [&](auto& m) {
    m.SetLoop(loop);
    return 0;
  });
  return 0;
}

template <typename M>
void Show(M& m, bool visible) {
  if constexpr (std::is_same_v<M, MoviePrimControl>) m.SetEnabled(visible);
  if constexpr (std::is_same_v<M, MovieSpriteControl>) m.SetVisible(visible);
}

// 635
int32_t MoviePlay(NativeArgs& a) {
  return OnMovie(a, kMovieNone, [](auto& m) {
    Show(m, true);
    return m.Play();
  });
}

// 636
int32_t MovieStop(NativeArgs& a) {
  return OnMovie(a, kMovieNone, [](auto& m) {
    Show(m, false);
    return m.Stop();
  });
}

// 637
int32_t MoviePause(NativeArgs& a) {
  return OnMovie(a, kMovieNone, [](auto& m) { return m.Pause(); });
}

// 638
int32_t MovieResume(NativeArgs& a) {
  return OnMovie(a, kMovieNone, [](auto& m) {
    Show(m, true);
    return m.Resume();
  });
}

// 639: a size past 32 bits stops at the largest.
int32_t MovieSetRect(NativeArgs& a) {
  const Rect r{a.I32(0), a.I32(1), a.I32(2), a.I32(3)};
  const int32_t width = ClampedSum(r.right, -int64_t{r.left});
  const int32_t height = ClampedSum(r.bottom, -int64_t{r.top});
  return OnMovie(a, kMovieNone, [&]<typename M>(M& m) -> int32_t {
    if constexpr (std::is_same_v<M, MovieObject>) {
      return m.SetRect(r);
    } else if constexpr (std::is_same_v<M, MoviePrimControl>) {
      m.SetSizeAndPosition(width, height, r.left, r.top);
      return 0;
    } else {
      m.SetZoomAndPos(width, height, r.left, r.top);
      return 0;
    }
  });
}

// 640 and 644: 100-ns units to milliseconds.
template <int32_t (MovieWrapper::*Get)(int64_t*)>
int32_t MovieTime(NativeArgs& a) {
  return OnMovie(a, 0, [](MovieWrapper& m) {
    int64_t units = 0;
    (void)(m.*Get)(&units);  // a player that cannot tell leaves 0
    return static_cast<int32_t>(units / kUnitsPerMs);
  });
}

// 641
int32_t MovieWidth(NativeArgs& a) {
  return OnMovie(a, 0, [](auto& m) { return m.VideoWidth(); });
}

// 642
int32_t MovieHeight(NativeArgs& a) {
  return OnMovie(a, 0, [](auto& m) { return m.VideoHeight(); });
}

// 643
int32_t MovieSeek(NativeArgs& a) {
  const int64_t units = MovieUnitsOfMs(a.I32(0));
  return OnMovie(a, kMovieNone, [&](MovieWrapper& m) { return m.Seek(units); });
}

// 645
int32_t MovieState(NativeArgs& a) {
  constexpr int32_t kNoState = 3;
  return OnMovie(a, 0, [](MovieWrapper& m) {
    int32_t state = kNoState;
    return m.GetState(&state) == 0 ? state : kNoState;
  });
}

// 646
int32_t MovieSetVolume(NativeArgs& a) {
  const int32_t volume = a.I32(0);
  return OnMovie(a, kMovieNone, [&](MovieWrapper& m) { return m.SetVolume(volume); });
}

// 647
int32_t MovieQuery(NativeArgs& a) {
  return OnWindowMovie(a, [](MovieObject& m) { return m.Query(); });
}

// 648
int32_t MovieCommand(NativeArgs& a) {
  const int32_t value = a.I32(0);
  return OnWindowMovie(a, [&](MovieObject& m) { return m.Command(value); });
}

// 649: signed 16.16.
int32_t MovieSetBalance(NativeArgs& a) {
  const double balance = a.I32(0) / 65536.0;
  return OnMovie(a, kMovieNone, [&](MovieWrapper& m) { return m.SetBalance(balance); });
}

// 650: unsigned 16.16.
int32_t MovieSetRate(NativeArgs& a) {
  const double rate = a.U32(0) / 65536.0;
  return OnMovie(a, kMovieNone, [&](MovieWrapper& m) { return m.SetRate(rate); });
}

// 651: the sprite movie as a display object for the sprite natives, which place, show and list
// it like any; it stays the movie natives' own, so no destroy native reaches it (it is none of
// the display manager's) and its handle reads null once the movie closes.
int32_t MovieGetSprite(NativeArgs& a) {
  MovieSpriteControl* sprite = State(a).sprite.get();
  if (!sprite) return 0;
  return static_cast<int32_t>(a.Host().Handles().HandleOf(ScriptObjectType::kDisplayObject,
                                                          static_cast<DisplayObject*>(sprite)));
}

constexpr NativeEntry kEntries[] = {
    {Native::kMovieOpen, MovieOpen},
    {Native::kMovieClose, MovieClose},
    {Native::kMovieSetLoop, MovieSetLoop},
    {Native::kMoviePlay, MoviePlay},
    {Native::kMovieStop, MovieStop},
    {Native::kMoviePause, MoviePause},
    {Native::kMovieResume, MovieResume},
    {Native::kMovieSetRect, MovieSetRect},
    {Native::kMovieGetLength, MovieTime<&MovieWrapper::GetLength>},
    {Native::kMovieGetWidth, MovieWidth},
    {Native::kMovieGetHeight, MovieHeight},
    {Native::kMovieSeek, MovieSeek},
    {Native::kMovieGetPosition, MovieTime<&MovieWrapper::GetPosition>},
    {Native::kMovieGetState, MovieState},
    {Native::kMovieSetVolume, MovieSetVolume},
    {Native::kMovieQuery, MovieQuery},
    {Native::kMovieCommand, MovieCommand},
    {Native::kMovieSetBalance, MovieSetBalance},
    {Native::kMovieSetRate, MovieSetRate},
    {Native::kMovieGetSprite, MovieGetSprite},
};

constexpr NativeRange kNumbers[] = {{632, 651}};

}  // namespace

const NativeFamily& MovieNativeFamily() {
  static const NativeFamily family{"movie", kEntries, kNumbers};
  return family;
}

}  // namespace bw
