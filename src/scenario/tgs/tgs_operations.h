// What the scenario built-ins ask of the scenario player: one operation per thing a built-in does
// (message output and waits, scene layers, effects and transitions, sound, the text views). The
// built-ins unpack their argument slots and call these; the player implements them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace bw {

// CP932 text of a text slot; nullopt where the slot gives no text (absent, numeric, or an
// address that does not read as a text).
using TgsText = std::optional<std::string_view>;

// The operations as (name, parameters, argument names). Pages, bytes and flags arrive as the
// slot's low byte or as 0/1; everything else as the slot's value or the row's default. Results
// are the operation's own codes (0 success; the waits answer 1 when skipped and below 0 when the
// application quits).
// clang-format off
#define BW_TGS_OPERATIONS(X)                                                                     \
  /* Message output and waits */                                                                 \
  X(BeginMessage, (int32_t number), (number))                                                    \
  X(ShowChoices, (std::span<const std::string_view> choices, int32_t firstBit),                  \
    (choices, firstBit))                                                                         \
  X(TextNewLine, (), ())                                                                         \
  X(MessageWait, (), ())                                                                         \
  X(ChoiceWait, (), ())                                                                          \
  X(SetSpeakerName, (TgsText name), (name))                                                      \
  X(DisableChoice, (uint8_t index), (index))                                                     \
  X(WaitTimeSkippable, (int32_t ms, bool click), (ms, click))                                    \
  X(WaitTimeFixed, (int32_t ms), (ms))                                                           \
  X(SelectMessageWindow, (int32_t window), (window))                                             \
  X(SetMessageWindowPlace,                                                                       \
    (int32_t alignment, int32_t x, int32_t y, int32_t style, int32_t frame, int32_t window),     \
    (alignment, x, y, style, frame, window))                                                     \
  X(SetFaceWindowPlace, (int32_t slot, int32_t dx, int32_t dy, int32_t group),                   \
    (slot, dx, dy, group))                                                                       \
  X(SetNameAndVoice, (TgsText name, TgsText voice), (name, voice))                               \
  X(BeginRuby, (), ())                                                                           \
  X(DrawRuby, (TgsText ruby), (ruby))                                                            \
  /* Each of size, colour, shadow and face acts only when given. */                              \
  X(SetTextFont,                                                                                 \
    (std::optional<int32_t> size, std::optional<int32_t> color, std::optional<int32_t> shadow,   \
     TgsText face),                                                                              \
    (size, color, shadow, face))                                                                 \
  X(ShowMessageWindow, (bool show, int32_t window), (show, window))                              \
  X(CloseMessageWindow, (int32_t window), (window))                                              \
  /* The window's face animation: path on the window for time ms; show: commit and wait. */     \
  X(MessageTalk, (int32_t window, int32_t time, TgsText path, bool show),                        \
    (window, time, path, show))                                                                  \
  X(TalkAnime, (int32_t window, TgsText path), (window, path))                                   \
  X(WaitTalkAnime, (int32_t window, bool skippable), (window, skippable))                        \
  X(ReleaseTalkAnime, (int32_t window), (window))                                                \
  X(FadeMessageWindows, (bool show, int32_t time, bool buttons), (show, time, buttons))          \
  X(ShowMessageWindows, (bool show), (show))                                                     \
  BW_TGS_SCENE_OPERATIONS(X)                                                                     \
  BW_TGS_LATER_OPERATIONS(X)

// The scene pages, their effects and transitions.
#define BW_TGS_SCENE_OPERATIONS(X)                                                               \
  /* Scene layers */                                                                             \
  X(LoadBackground, (TgsText name, uint8_t page), (name, page))                                  \
  X(ClearBackgroundToColor, (int32_t color, uint8_t page), (color, page))                        \
  X(SetLayerColor, (int32_t color, uint8_t page), (color, page))                                 \
  X(SetBackgroundTone, (uint8_t tone, bool filterB, bool filterA, bool bars, uint8_t page),      \
    (tone, filterB, filterA, bars, page))                                                        \
  X(SetBackgroundFilter, (int32_t level, uint8_t page), (level, page))                           \
  X(SetBackgroundOffset, (int32_t x, int32_t y, uint8_t page), (x, y, page))                     \
  X(CaptureBackground, (bool on, uint8_t page, bool withSecondList), (on, page, withSecondList)) \
  X(SetBackgroundView, (int32_t x, int32_t y, int32_t width, int32_t height, uint8_t page),      \
    (x, y, width, height, page))                                                                 \
  X(SetBackgroundZoomNow, (int32_t x, int32_t y, TgsText zoom, uint8_t page),                    \
    (x, y, zoom, page))                                                                          \
  X(RotateBackground, (int32_t angle, TgsText scale, int32_t x, int32_t y, uint8_t page),        \
    (angle, scale, x, y, page))                                                                  \
  X(LoadBackgroundAnime, (TgsText name, int32_t startFrame, uint32_t argument, uint8_t page),    \
    (name, startFrame, argument, page))                                                          \
  X(LoadBackgroundMovie, (TgsText name, uint8_t page, uint8_t flag), (name, page, flag))         \
  X(ControlBackgroundAnime, (uint8_t page, int32_t op), (page, op))                              \
  X(WaitBackgroundAnime, (uint8_t page), (page))                                                 \
  X(WaitBackgroundAnimeEnd, (uint8_t page, bool skippable), (page, skippable))                   \
  X(SetSpriteTint, (bool on), (on))                                                              \
  X(LoadSprite, (int32_t slot, TgsText name, uint8_t page, int32_t group, bool toBack),          \
    (slot, name, page, group, toBack))                                                           \
  X(PlaceSprite, (int32_t slot, int32_t position, bool offScreen, uint8_t page, int32_t group),  \
    (slot, position, offScreen, page, group))                                                    \
  /* A just loaded picture asked for no position: the slot keeps the position it has stored,     \
     else takes position 0; a slot without a record does nothing. */                             \
  X(KeepSpritePlace, (int32_t slot, uint8_t page, int32_t group), (slot, page, group))           \
  X(SetSpriteTone,                                                                               \
    (int32_t slot, uint8_t tone, bool filterB, bool filterA, uint8_t page, int32_t group),       \
    (slot, tone, filterB, filterA, page, group))                                                 \
  X(SetSpriteFilter, (int32_t slot, int32_t level, uint8_t page, int32_t group),                 \
    (slot, level, page, group))                                                                  \
  X(MoveSprite, (int32_t slot, int32_t x, int32_t y, uint8_t page, int32_t group),               \
    (slot, x, y, page, group))                                                                   \
  X(SpriteToBack, (int32_t slot, uint8_t page, int32_t group, bool stop),                        \
    (slot, page, group, stop))                                                                   \
  X(SpriteToFront, (int32_t slot, uint8_t page, int32_t group, bool stop),                       \
    (slot, page, group, stop))                                                                   \
  X(ClearSprites, (uint8_t page, int32_t group), (page, group))                                  \
  /* Layer and screen effects */                                                                 \
  X(ZoomBackground,                                                                              \
    (uint8_t page, int32_t x, int32_t y, TgsText zoom, TgsText ease, int32_t time),              \
    (page, x, y, zoom, ease, time))                                                              \
  X(RotateBackgroundEffect,                                                                      \
    (uint8_t page, int32_t angle, TgsText scale, int32_t x, int32_t y, TgsText ease,             \
     int32_t time),                                                                              \
    (page, angle, scale, x, y, ease, time))                                                      \
  X(AnimateBackgroundPath,                                                                       \
    (uint8_t page, TgsText path, int32_t time, bool a, bool b, bool c, int32_t slot),            \
    (page, path, time, a, b, c, slot))                                                           \
  X(EndBackgroundPath, (TgsText path, uint8_t page), (path, page))                               \
  /* texts: the values that are texts (zooms, angles, ease, source picture); values there 0. */  \
  X(BlurBackground,                                                                              \
    (uint8_t page, std::span<const int32_t, 15> values, std::span<const TgsText, 15> texts,      \
     bool readBack, bool wait, bool skippable),                                                  \
    (page, values, texts, readBack, wait, skippable))                                            \
  X(BlurBackgroundPath,                                                                          \
    (uint8_t page, TgsText path, std::span<const int32_t, 10> values,                            \
     std::span<const TgsText, 10> texts, bool readBack, bool wait, bool skippable),              \
    (page, path, values, texts, readBack, wait, skippable))                                      \
  X(SetBackgroundBlurNow, (uint8_t page, int32_t x, int32_t y, int32_t a, int32_t b),            \
    (page, x, y, a, b))                                                                          \
  X(WaitLayerEffect, (uint8_t page, bool skippable), (page, skippable))                          \
  X(StopLayerEffect, (uint8_t page), (page))                                                     \
  X(ScreenNoise, (int32_t slot, uint8_t level, bool a, bool b), (slot, level, a, b))             \
  X(WaveBackground,                                                                              \
    (uint8_t page, int32_t type, int32_t a, int32_t b, int32_t c, int32_t timeOrSlot, int32_t d, \
     int32_t e, bool flag),                                                                      \
    (page, type, a, b, c, timeOrSlot, d, e, flag))                                               \
  X(LoopScrollBackground, (uint8_t page, uint8_t mode, int32_t value, int32_t timeOrSlot),       \
    (page, mode, value, timeOrSlot))                                                             \
  X(SpriteMovie,                                                                                 \
    (TgsText name, int32_t slot, uint8_t page, bool flag, int32_t a, int32_t b, int32_t c),      \
    (name, slot, page, flag, a, b, c))                                                           \
  X(SpriteParts,                                                                                 \
    (TgsText name, int32_t value, uint8_t page, int32_t slot, bool a, bool b, bool c),           \
    (name, value, page, slot, a, b, c))                                                          \
  X(CrossFadeLayer, (int32_t value, int32_t timeOrSlot, uint8_t a, uint8_t b),                   \
    (value, timeOrSlot, a, b))                                                                   \
  X(ScreenWeather,                                                                               \
    (int32_t slot, int32_t index, int32_t value, bool flag, TgsText name, bool a, bool b),       \
    (slot, index, value, flag, name, a, b))                                                      \
  X(SetScreenEffectArgs, (int32_t slot, bool a, bool b), (slot, a, b))                           \
  X(StopScreenEffect, (int32_t slot, int32_t release, int32_t extra), (slot, release, extra))    \
  X(WaitScreenEffect, (int32_t slot, bool skippable), (slot, skippable))                         \
  /* Sprite effects */                                                                           \
  X(CrossFadeSprite,                                                                             \
    (int32_t slot, TgsText name, int32_t position, int32_t time, bool toBack, uint8_t page,      \
     int32_t group),                                                                             \
    (slot, name, position, time, toBack, page, group))                                           \
  X(AnimateSpritePath,                                                                           \
    (int32_t slot, TgsText path, int32_t time, uint8_t page, int32_t group, bool persist),       \
    (slot, path, time, page, group, persist))                                                    \
  X(EndSpritePath, (int32_t slot, TgsText path, uint8_t page, int32_t group),                    \
    (slot, path, page, group))                                                                   \
  /* b: the change style byte 0-2 */                                                             \
  X(ChangeSprite,                                                                                \
    (int32_t slot, TgsText name, TgsText path, uint8_t b, int32_t time, bool toBack,             \
     int32_t style, uint8_t page, int32_t group),                                                \
    (slot, name, path, b, time, toBack, style, page, group))                                     \
  X(AnimateCharacterParts,                                                                       \
    (int32_t slot, int32_t value, uint8_t page, int32_t group, bool persist),                    \
    (slot, value, page, group, persist))                                                         \
  X(WaitSpriteEffect, (int32_t slot, bool skippable, uint8_t page, int32_t group),               \
    (slot, skippable, page, group))                                                              \
  X(ReleaseSpriteEffect, (int32_t slot, uint8_t page, int32_t group), (slot, page, group))       \
  /* Transitions */                                                                              \
  X(SetRuleFlipH, (bool on), (on))                                                               \
  X(SetRuleFlipV, (bool on), (on))                                                               \
  X(CopyShownPageToBack, (), ())                                                                 \
  X(WaitTransition, (bool skippable), (skippable))                                               \
  X(EndPendingTransition, (), ())                                                                \
  X(TransCross, (int32_t time), (time))                                                          \
  X(TransRule, (int32_t rule, int32_t time, int32_t vagueness), (rule, time, vagueness))         \
  X(TransTrans, (int32_t value, int32_t time, bool reverse), (value, time, reverse))             \
  X(TransFilter, (int32_t index, int32_t time, int32_t a, int32_t b, int32_t c),                 \
    (index, time, a, b, c))                                                                      \
  X(TransScroll, (int32_t time, uint8_t a, uint8_t b, TgsText ease), (time, a, b, ease))         \
  /* aspect and speed: the texts of values[6] and values[1] */                                   \
  X(TransRipple, (std::span<const int32_t, 7> values, TgsText aspect, TgsText speed),            \
    (values, aspect, speed))                                                                     \
  /* strength: the quake's end strength as a decimal text */                                     \
  X(ScreenQuake,                                                                                 \
    (std::span<const int32_t, 3> values, int32_t time, TgsText strength, uint8_t a, uint8_t b,   \
     uint8_t c),                                                                                 \
    (values, time, strength, a, b, c))                                                           \
  X(Quake,                                                                                       \
    (std::span<const int32_t, 3> values, int32_t timeOrSlot, TgsText strength,                   \
     std::span<const uint8_t, 3> bytes, uint8_t page, uint8_t byte),                             \
    (values, timeOrSlot, strength, bytes, page, byte))                                           \
  X(WaitQuake, (uint8_t page, bool skippable), (page, skippable))                                \
  X(ReleaseQuake, (uint8_t page), (page))

#define BW_TGS_LATER_OPERATIONS(X)                                                               \
  X(FlashColor, (int32_t time, int32_t color), (time, color))                                    \
  X(ChangeBackgroundThroughColor, (TgsText name, int32_t time, int32_t color),                   \
    (name, time, color))                                                                         \
  BW_TGS_SOUND_OPERATIONS(X)

// Sound effects, voice and music.
#define BW_TGS_SOUND_OPERATIONS(X)                                                               \
  /* Remembers number as the current music and calls the main script's music player. */          \
  X(PlayMusic, (int32_t number, int32_t a, bool flag), (number, a, flag))                        \
  X(WaitBgmFade, (bool skippable), (skippable))                                                  \
  /* Stops the music channel when the application has no current music number. */                \
  X(StopMusicWhenNotCurrent, (), ())                                                             \
  X(FadeOutMusic, (bool skippable), (skippable))                                                 \
  X(PlayEffect, (TgsText file, int32_t slot, int32_t streamMode, bool loop),                     \
    (file, slot, streamMode, loop))                                                              \
  X(FadeInEffect, (TgsText file, int32_t time, int32_t slot, int32_t streamMode),                \
    (file, time, slot, streamMode))                                                              \
  X(FadeOutEffect, (int32_t time, int32_t slot), (time, slot))                                   \
  X(StopEffect, (int32_t slot), (slot))                                                          \
  X(UnloadAllEffects, (), ())                                                                    \
  X(WaitEffectFade, (int32_t slot, bool skippable, bool stopOnSkip, bool quick),                 \
    (slot, skippable, stopOnSkip, quick))                                                        \
  X(WaitEffectEnd, (int32_t slot, bool skippable, bool quick), (slot, skippable, quick))         \
  /* A negative slot names channel -slot, else slot + 8. */                                      \
  X(StopEffectChannel, (int32_t slot), (slot))                                                   \
  /* Stops voice channel 6 when the stop-voice setting is on. */                                 \
  X(EndVoice, (), ())                                                                            \
  X(PlayVoice, (TgsText name, bool loop), (name, loop))
// clang-format on

class TgsOperations {
 public:
  virtual ~TgsOperations() = default;

  // While a loaded game is restored the timed waits do nothing.
  virtual bool RestoringGame() const = 0;
  // The built-in (12-131) whose operations follow; only notices and traces use it.
  virtual void BeginBuiltin(uint32_t /*number*/) {}

#define BW_TGS_DECLARE(name, params, args) [[nodiscard]] virtual int32_t name params = 0;
  BW_TGS_OPERATIONS(BW_TGS_DECLARE)
#undef BW_TGS_DECLARE
};

}  // namespace bw
