// The scenario's 132 functions in number order: 0-11 are the interpreter's control
// instructions, 12-131 the built-ins of the scenario player. Each entry gives the identifier code
// uses and the name the trace prints and the assembler takes ("" for the rows called by number
// only: 15 and the blur family 50-55).
#pragma once

#include <cstdint>

namespace bw {

// clang-format off
#define BW_TGS_FUNCTIONS(X) \
  X(JumpUnless,            "JumpUnless")                 /*   0 */ \
  X(JumpIf,                "JumpIf")                     /*   1 */ \
  X(JumpIf2,               "JumpIf2")                    /*   2 */ \
  X(JumpIf3,               "JumpIf3")                    /*   3 */ \
  X(Nop,                   "Nop")                        /*   4 */ \
  X(PrintNumber,           "PrintNumber")                /*   5 */ \
  X(PrintText,             "PrintText")                  /*   6 */ \
  X(Call,                  "Call")                       /*   7 */ \
  X(Jump,                  "Jump")                       /*   8 */ \
  X(Return,                "Return")                     /*   9 */ \
  X(Preload,               "Preload")                    /*  10 */ \
  X(Unload,                "Unload")                     /*  11 */ \
  X(MessageBegin,          "MessageBegin")               /*  12 */ \
  X(ChoiceShow,            "ChoiceShow")                 /*  13 */ \
  X(TextNewLine,           "TextNewLine")                /*  14 */ \
  X(NoOperation,           "")                           /*  15 */ \
  X(MessageWait,           "MessageWait")                /*  16 */ \
  X(ChoiceWait,            "ChoiceWait")                 /*  17 */ \
  X(SetSpeakerName,        "SetSpeakerName")             /*  18 */ \
  X(DisableChoice,         "DisableChoice")              /*  19 */ \
  X(WaitTime,              "WaitTime")                   /*  20 */ \
  X(WaitTimeFixed,         "WaitTimeFixed")              /*  21 */ \
  X(SelectMessageWindow,   "SelectMessageWindow")        /*  22 */ \
  X(SetMessageWindowPlace, "SetMessageWindowPlace")      /*  23 */ \
  X(SetFaceWindowPlace,    "SetFaceWindowPlace")         /*  24 */ \
  X(SetNameAndVoice,       "SetNameAndVoice")            /*  25 */ \
  X(RubyBegin,             "RubyBegin")                  /*  26 */ \
  X(RubyText,              "RubyText")                   /*  27 */ \
  X(TextFont,              "TextFont")                   /*  28 */ \
  X(ShowMessageWindow,     "ShowMessageWindow")          /*  29 */ \
  X(CloseMessageWindow,    "CloseMessageWindow")         /*  30 */ \
  X(MessageTalk,           "MessageTalk")                /*  31 */ \
  X(TalkAnime,             "TalkAnime")                  /*  32 */ \
  X(WaitTalkAnime,         "WaitTalkAnime")              /*  33 */ \
  X(StopTalkAnime,         "StopTalkAnime")              /*  34 */ \
  X(BgLoad,                "BgLoad")                     /*  35 */ \
  X(BgColor,               "BgColor")                    /*  36 */ \
  X(BgLayerColor,          "BgLayerColor")               /*  37 */ \
  X(BgTone,                "BgTone")                     /*  38 */ \
  X(BgFilter,              "BgFilter")                   /*  39 */ \
  X(BgOffset,              "BgOffset")                   /*  40 */ \
  X(BgCaptureOn,           "BgCaptureOn")                /*  41 */ \
  X(BgCaptureOff,          "BgCaptureOff")               /*  42 */ \
  X(BgView,                "BgView")                     /*  43 */ \
  X(BgZoomNow,             "BgZoomNow")                  /*  44 */ \
  X(BgRotate,              "BgRotate")                   /*  45 */ \
  X(BgZoom,                "BgZoom")                     /*  46 */ \
  X(BgRot,                 "BgRot")                      /*  47 */ \
  X(BgPanime,              "BgPanime")                   /*  48 */ \
  X(BgPanimeControl,       "BgPanimeControl")            /*  49 */ \
  X(BgBlur50,              "")                           /*  50 */ \
  X(BgBlurPath51,          "")                           /*  51 */ \
  X(BgBlur52,              "")                           /*  52 */ \
  X(BgBlur53,              "")                           /*  53 */ \
  X(BgBlurPath54,          "")                           /*  54 */ \
  X(BgBlurPath55,          "")                           /*  55 */ \
  X(BgEffectPoint,         "BgEffectPoint")              /*  56 */ \
  X(WaitBgEffect,          "WaitBgEffect")               /*  57 */ \
  X(StopBgEffect,          "StopBgEffect")               /*  58 */ \
  X(ScreenNoise,           "ScreenNoise")                /*  59 */ \
  X(BgRaster,              "BgRaster")                   /*  60 */ \
  X(BgLoop,                "BgLoop")                     /*  61 */ \
  X(SpriteMovie,           "SpriteMovie")                /*  62 */ \
  X(SpriteParts,           "SpriteParts")                /*  63 */ \
  X(BgCross,               "BgCross")                    /*  64 */ \
  X(ScreenEffect,          "ScreenEffect")               /*  65 */ \
  X(ScreenEffectArgs,      "ScreenEffectArgs")           /*  66 */ \
  X(ScreenEffectEnd,       "ScreenEffectEnd")            /*  67 */ \
  X(WaitScreenEffect,      "WaitScreenEffect")           /*  68 */ \
  X(BgAnime,               "BgAnime")                    /*  69 */ \
  X(BgMovie,               "BgMovie")                    /*  70 */ \
  X(BgAnimeOff,            "BgAnimeOff")                 /*  71 */ \
  X(BgAnimeStop,           "BgAnimeStop")                /*  72 */ \
  X(WaitBgAnime,           "WaitBgAnime")                /*  73 */ \
  X(BgAnimeResume,         "BgAnimeResume")              /*  74 */ \
  X(WaitBgAnimeEnd,        "WaitBgAnimeEnd")             /*  75 */ \
  X(SetFrameOption,        "SetFrameOption")             /*  76 */ \
  X(SpriteLoad,            "SpriteLoad")                 /*  77 */ \
  X(SpriteTone,            "SpriteTone")                 /*  78 */ \
  X(SpriteFilter,          "SpriteFilter")               /*  79 */ \
  X(SpritePlace,           "SpritePlace")                /*  80 */ \
  X(SpriteMove,            "SpriteMove")                 /*  81 */ \
  X(SpriteBack,            "SpriteBack")                 /*  82 */ \
  X(SpriteFront,           "SpriteFront")                /*  83 */ \
  X(SpriteClear,           "SpriteClear")                /*  84 */ \
  X(SpriteCrossFade,       "SpriteCrossFade")            /*  85 */ \
  X(SpritePanime,          "SpritePanime")               /*  86 */ \
  X(SpritePanimeControl,   "SpritePanimeControl")        /*  87 */ \
  X(SpriteChange,          "SpriteChange")               /*  88 */ \
  X(SpriteCharacterParts,  "SpriteCharacterParts")       /*  89 */ \
  X(WaitSpriteEffect,      "WaitSpriteEffect")           /*  90 */ \
  X(StopSpriteEffect,      "StopSpriteEffect")           /*  91 */ \
  X(ReleaseImage,          "ReleaseImage")               /*  92 */ \
  X(RuleFlipH,             "RuleFlipH")                  /*  93 */ \
  X(RuleFlipV,             "RuleFlipV")                  /*  94 */ \
  X(CopyPageToBack,        "CopyPageToBack")             /*  95 */ \
  X(TransWait,             "TransWait")                  /*  96 */ \
  X(TransEnd,              "TransEnd")                   /*  97 */ \
  X(TransCross,            "TransCross")                 /*  98 */ \
  X(TransRule,             "TransRule")                  /*  99 */ \
  X(TransTrans,            "TransTrans")                 /* 100 */ \
  X(TransNumbered,         "TransNumbered")              /* 101 */ \
  X(TransScroll,           "TransScroll")                /* 102 */ \
  X(TransRipple,           "TransRipple")                /* 103 */ \
  X(FadeToBlack,           "FadeToBlack")                /* 104 */ \
  X(FadeToWhite,           "FadeToWhite")                /* 105 */ \
  X(BgChangeCross,         "BgChangeCross")              /* 106 */ \
  X(BgChangeRule,          "BgChangeRule")               /* 107 */ \
  X(BgChangeTrans,         "BgChangeTrans")              /* 108 */ \
  X(SpriteChangeCross,     "SpriteChangeCross")          /* 109 */ \
  X(SpritesClearTrans,     "SpritesClearTrans")          /* 110 */ \
  X(Quake,                 "Quake")                      /* 111 */ \
  X(QuakePage,             "QuakePage")                  /* 112 */ \
  X(ScreenQuake,           "ScreenQuake")                /* 113 */ \
  X(ScreenQuakePage,       "ScreenQuakePage")            /* 114 */ \
  X(WaitQuake,             "WaitQuake")                  /* 115 */ \
  X(StopQuake,             "StopQuake")                  /* 116 */ \
  X(Flash,                 "Flash")                      /* 117 */ \
  X(BgChangeThroughColor,  "BgChangeThroughColor")       /* 118 */ \
  X(MessageWindowFade,     "MessageWindowFade")          /* 119 */ \
  X(MessageWindowShow,     "MessageWindowShow")          /* 120 */ \
  X(BgmPlay,               "BgmPlay")                    /* 121 */ \
  X(WaitBgm,               "WaitBgm")                    /* 122 */ \
  X(BgmStop,               "BgmStop")                    /* 123 */ \
  X(SePlay,                "SePlay")                     /* 124 */ \
  X(SeFadeIn,              "SeFadeIn")                   /* 125 */ \
  X(SeFadeOut,             "SeFadeOut")                  /* 126 */ \
  X(SeStop,                "SeStop")                     /* 127 */ \
  X(SeUnloadAll,           "SeUnloadAll")                /* 128 */ \
  X(WaitSeFade,            "WaitSeFade")                 /* 129 */ \
  X(WaitSeEnd,             "WaitSeEnd")                  /* 130 */ \
  X(VoicePlay,             "VoicePlay")                  /* 131 */
// clang-format on

enum class TgsFunction : uint32_t {
#define BW_TGS_FUNCTION_ID(id, name) k##id,
  BW_TGS_FUNCTIONS(BW_TGS_FUNCTION_ID)
#undef BW_TGS_FUNCTION_ID
};

inline constexpr const char* kTgsFunctionNames[] = {
#define BW_TGS_FUNCTION_NAME(id, name) name,
    BW_TGS_FUNCTIONS(BW_TGS_FUNCTION_NAME)
#undef BW_TGS_FUNCTION_NAME
};

constexpr uint32_t TgsNumber(TgsFunction f) {
  return static_cast<uint32_t>(f);
}

inline constexpr uint32_t kTgsBuiltinCount = sizeof kTgsFunctionNames / sizeof *kTgsFunctionNames;
inline constexpr uint32_t kTgsFirstBuiltin = TgsNumber(TgsFunction::kMessageBegin);
static_assert(kTgsBuiltinCount == 132 && kTgsFirstBuiltin == 12);
// What follows an instruction's condition kind byte.
enum class TgsConditionKind : uint8_t { kConstant, kTrue, kVariable, kExpression };
// What follows an argument's value kind byte.
enum class TgsValueKind : uint8_t { kConstant, kText, kVariable, kExpression };
// An argument's first byte: these two stand alone, any other is the slot's flags word and a value
// kind byte follows it.
inline constexpr uint8_t kTgsArgumentNotGiven = 0;
inline constexpr uint8_t kTgsArgumentBare = 2;  // a value word follows, with no flags

static_assert(TgsNumber(TgsFunction::kBgLoad) == 35 && TgsNumber(TgsFunction::kVoicePlay) == 131);

}  // namespace bw
