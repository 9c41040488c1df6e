#include "app/dialogs/settings_sheet.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>

#include "app/dialogs/settings_sheet_previews.h"
#include "host/cp932.h"
#include "host/dialog/dialog_host.h"
#include "input/joystick_device.h"
#include "sound/sound_channel_manager.h"

namespace bw {

namespace {

using Kind = host::DialogControlKind;
using host::Cp932Literal;

enum Page { kSystem, kText1, kText2, kSound, kInput1, kInput2, kWindow };

// One control bound to one field: stored = value x scale + offset (check boxes may be inverted);
// a word field with a shift holds the value in the byte at that shift.
struct Binding {
  int page;
  int id;
  Kind kind;
  const char* label;
  uint8_t UserConfig::*byte = nullptr;
  uint32_t UserConfig::*word = nullptr;
  int32_t maximum = 1;
  int32_t scale = 1;
  int32_t offset = 0;
  bool inverted = false;
  int shift = -1;
  std::vector<const char*> items = {};
  const char* unit = nullptr;  // after a slider's value; " ms" for sliders of tens and hundreds
};

// The system menu's rows and the mouse buttons' actions, as the lists show them.
const std::vector<const char*> kMenuItems = {"オートプレイ", "スキップ",       "前の選択肢に戻る",
                                             "テキスト履歴", "ウィンドウ消去", "セーブ",
                                             "ロード",       "クイックセーブ", "クイックロード",
                                             "環境設定",     "タイトルに戻る", "ゲーム終了"};
const std::vector<const char*> kMouseActions = {
    "割り当て無し", "システムメニュー",       "ウィンドウを消去",
    "オートプレイ", "次の選択肢までスキップ", "セーブ",
    "ロード"};

using U = UserConfig;
// The controls bound to a field, page by page.
const std::vector<Binding> kBindings = {
    {kSystem, 1101, Kind::kCheck, "画面演出を素早く表示する", &U::fastEffects},
    {kSystem, 1102, Kind::kCheck, "クリックで画面演出をスキップする", &U::clickSkipsEffects},
    {kSystem, 1103, Kind::kCheck, "システム画面を素早く表示する", &U::fastSystemScreens},
    {kSystem, 1104, Kind::kCheck, "未読テキストはスキップしない", &U::skipReadOnly},
    {kSystem, 1105, Kind::kCheck, "選択肢でテキストスキップを解除する", &U::keepSkipAtChoices,
     nullptr, 1, 1, 0, true},
    {kSystem, 1106, Kind::kCheck, "一度選択した選択肢の色を変えて表示する", &U::markChosenChoices},
    {kSystem, 1107, Kind::kCheck, "選択肢表示時にオートセーブを行う", &U::autoSaveAtChoices},
    {kSystem, 1108, Kind::kCheck, "「前の選択肢に戻る」データを作成する",
     &U::keepPreviousChoiceData},
    {kSystem, 1070, Kind::kCheck, "「前の選択肢に戻る」確認ダイアログを表示する",
     &U::confirmPreviousChoice},
    {kSystem, 1071, Kind::kCheck, "Webページ表示時に確認ダイアログを表示する", &U::confirmWebPage},
    {kSystem, 1072, Kind::kCheck, "システムボタンを自動的に隠す", &U::autoHideSystemButtons},
    {kSystem, 1082, Kind::kCombo, "システムメニュー初期位置", &U::systemMenuStartItem, nullptr, 11,
     1, 0, false, -1, kMenuItems},
    {kSystem, 1109, Kind::kCheck, "ポップアップヒントを表示する", &U::tooltipsOn},
    {kSystem, 1051, Kind::kSlider, "", nullptr, &U::tooltipDelayMs, 300, 10},
    {kText1, 1070, Kind::kCheck, "ウェイト無し", &U::unreadNoWait},
    {kText1, 1051, Kind::kSlider, "未読テキスト表示速度(１文字表示時間）", &U::unreadCharMs,
     nullptr, 255},
    {kText1, 1071, Kind::kCheck, "ウェイト無し", &U::readNoWait},
    {kText1, 1052, Kind::kSlider, "既読テキスト表示速度(１文字表示時間）", &U::readCharMs, nullptr,
     255},
    {kText1, 1053, Kind::kSlider, "文字時間", &U::autoCharMs, nullptr, 255},
    {kText1, 1054, Kind::kSlider, "最小時間", nullptr, &U::autoMinMs, 90, 100},
    {kText1, 1055, Kind::kSlider, "テキスト履歴 保存ページ数 (音声有りテキストは２ページ換算)",
     &U::historyPages, nullptr, 255},
    {kText1, 1072, Kind::kCheck, "テキスト履歴データのセーブ・ロードを行う",
     &U::keepHistoryInSaves},
    {kText2, 1122, Kind::kCheck, "アンチエイリアス", &U::fontAntialias},
    {kText2, 1123, Kind::kCheck, "グラデーション", &U::fontGradation},
    {kText2,
     1124,
     Kind::kRadio,
     "",
     &U::fontDecoration,
     nullptr,
     2,
     1,
     0,
     false,
     -1,
     {"なし", "影付き", "縁取り"}},
    {kText2, 1126, Kind::kCheck, "太字", &U::fontBold},
    {kText2, 1127, Kind::kCheck, "太字（ルビ）", &U::rubyBold},
    {kText2, 1070, Kind::kCheck, "テキストフレームを描画する", &U::drawTextFrame},
    {kText2, 1051, Kind::kSlider, "Ｒ（赤）", nullptr, &U::frameColor, 255, 1, 0, false, 16},
    {kText2, 1052, Kind::kSlider, "Ｇ（緑）", nullptr, &U::frameColor, 255, 1, 0, false, 8},
    {kText2, 1053, Kind::kSlider, "Ｂ（青）", nullptr, &U::frameColor, 255, 1, 0, false, 0},
    {kText2, 1054, Kind::kSlider, "透明度", &U::frameAlpha, nullptr, 255},
    {kSound, 1070, Kind::kCheck, "全ミュート", &U::soundOn, nullptr, 1, 1, 0, true},
    {kSound, 1051, Kind::kSlider, "", nullptr, &U::masterVolume, 256},
    {kSound, 1071, Kind::kCheck, "BGM", &U::bgmOn},
    {kSound, 1052, Kind::kSlider, "", nullptr, &U::bgmVolume, 256},
    {kSound, 1072, Kind::kCheck, "ＳＥ", &U::seOn},
    {kSound, 1053, Kind::kSlider, "", nullptr, &U::seVolume, 256},
    {kSound, 1073, Kind::kCheck, "システムＳＥ", &U::systemSeOn},
    {kSound, 1054, Kind::kSlider, "", nullptr, &U::systemSeVolume, 256},
    {kSound, 1074, Kind::kCheck, "音声", &U::voiceOn},
    {kSound, 1075, Kind::kCheck, "全キャラクターの音量を統一", &U::unifyVoiceVolume},
    {kSound, 1142, Kind::kCheck, "音声再生中にBGM音量を下げる（音量を", &U::duckBgm},
    {.page = kSound,
     .id = 1061,
     .kind = Kind::kSlider,
     .label = "",
     .byte = &U::duckPercent,
     .maximum = 100,
     .unit = "％ にする）"},
    {kSound, 1143, Kind::kCheck, "次テキスト表示時に音声を停止する", &U::stopVoiceOnNextText},
    {kInput1,
     1080,
     Kind::kRadio,
     "強制早送りキー設定",
     &U::fastForwardKey,
     nullptr,
     1,
     1,
     0,
     false,
     -1,
     {"Shift", "Ctrl"}},
    {kInput1, 1070, Kind::kCheck, "未読テキストは早送りしない", &U::fastForwardReadOnly},
    {kInput2, 1070, Kind::kCheck, "ジョイスティックを使用する", &U::joystickEnabled},
    {kInput2, 1082, Kind::kCombo, "＜右ボタン＞", &U::rightButtonAction, nullptr, 6, 1, 0, false,
     -1, kMouseActions},
    {kInput2, 1083, Kind::kCombo, "＜ホイールボタン＞", &U::wheelButtonAction, nullptr, 6, 1, 0,
     false, -1, kMouseActions},
    {kInput2, 1071, Kind::kCheck, "右クリックでオートプレイを解除する", &U::rightClickStopsAuto},
    {kInput2, 1072, Kind::kCheck, "ホイール↓回転でテキストを読み進める", &U::wheelAdvancesText},
    {kInput2, 1162, Kind::kCheck, "マウスカーソルを自動的に隠す", &U::autoHideCursor},
    {kInput2, 1163, Kind::kCheck, "画面下にマウスカーソル移動でフレームを消去する",
     &U::hideFrameAtBottom},
    {kWindow, 1181, Kind::kCheck, "フルスクリーン時に解像度を変更する", &U::fullScreenMonitor},
    {kWindow, 1182, Kind::kCheck, "フルスクリーン時に最前面ウィンドウに変更する",
     &U::topmostInFullScreen},
    {kWindow, 1183, Kind::kCheck, "解像度変更にDirectDrawを使用する（※次回起動時に反映）",
     &U::displayOption1, nullptr, 1, 2},
    {kWindow,
     1083,
     Kind::kCombo,
     "画面拡大時の描画方式",
     &U::displayOption2,
     nullptr,
     2,
     1,
     1,
     false,
     -1,
     {"自動設定", "DirectDraw", "Direct3D"}},
    {kWindow, 1184, Kind::kCheck, "画面拡大時以外にも描画方式を変更する", &U::drawingMethodAlways},
    {kWindow, 1185, Kind::kCheck, "テクスチャは２の累乗サイズで作成する", &U::powerOfTwoTextures},
    {kWindow, 1186, Kind::kCheck, "バイリニアフィルタ補間を行う", &U::bilinearFilter},
    {kWindow, 1187, Kind::kCheck, "VRAM転送時にデバイスコンテキストを経由する",
     &U::transferThroughDc},
    {kWindow, 1188, Kind::kCheck, "ウィンドウモードで起動する", &U::startWindowed},
    {kWindow, 1189, Kind::kCheck, "終了時にウィンドウの位置を保存する", &U::rememberWindowPosition},
    {kWindow, 1190, Kind::kCheck, "ムービーを再生する", &U::playMovies},
    {kWindow, 1191, Kind::kCheck, "DirectShowウィンドウを使用する", &U::useDirectShowWindow},
    {kWindow, 1051, Kind::kSlider, "", nullptr, &U::movieVolume, 256},
};

int32_t StoredValue(const Binding& b, const UserConfig& config) {
  if (b.byte) return config.*b.byte;
  const uint32_t word = config.*b.word;
  return b.shift >= 0 ? static_cast<int32_t>((word >> b.shift) & 0xFF)
                      : static_cast<int32_t>(std::min<uint32_t>(word, 0x7FFFFFFF));
}

// The control's position for a stored value (held to the control's range).
int32_t ControlValue(const Binding& b, const UserConfig& config) {
  int32_t value = (StoredValue(b, config) - b.offset) / b.scale;
  if (b.inverted) value = value != 0 ? 0 : 1;
  return std::clamp(value, b.kind == Kind::kCombo ? -1 : 0, b.maximum);
}

void Store(const Binding& b, int32_t value, UserConfig& config) {
  if (b.inverted) value = value != 0 ? 0 : 1;
  const int64_t stored = int64_t{value} * b.scale + b.offset;
  if (b.byte) {
    config.*b.byte = static_cast<uint8_t>(std::clamp<int64_t>(stored, 0, 255));
  } else if (b.shift >= 0) {
    uint32_t& word = config.*b.word;
    word = (word & ~(0xFFu << b.shift)) | (static_cast<uint32_t>(stored & 0xFF) << b.shift);
  } else {
    config.*b.word = static_cast<uint32_t>(std::max<int64_t>(stored, 0));
  }
}

void CopyField(const Binding& b, const UserConfig& from, UserConfig& to) {
  if (b.byte) {
    to.*b.byte = from.*b.byte;
  } else if (b.shift >= 0) {
    Store(b, StoredValue(b, from), to);
  } else {
    to.*b.word = from.*b.word;
  }
}

// The key fields of actions 4 to 17 and the names the player reads.
constexpr int kFirstKeyField = 1056;
constexpr int kKeyFieldCount = 14;
constexpr const char* kActionNames[kKeyFieldCount] = {"決定",
                                                      "キャンセル",
                                                      "オートプレイ",
                                                      "セーブ",
                                                      "ロード",
                                                      "クイックセーブ",
                                                      "クイックロード",
                                                      "テキストフレームを消去",
                                                      "システムメニュー",
                                                      "環境設定",
                                                      "テキスト履歴",
                                                      "次の選択肢までスキップ",
                                                      "前の選択肢に戻る",
                                                      "タイトルに戻る"};
constexpr int kDeleteKey = 0xD3;

struct KeyNameRange {
  int first;
  const char* names;  // '|' between names
};

constexpr KeyNameRange kKeyNames[] = {
    {0x01, "Esc|1|2|3|4|5|6|7|8|9|0|-"},
    {0x0E, "BackSpace"},
    {0x10, "Q|W|E|R|T|Y|U|I|O|P|[|]"},
    {0x1E, "A|S|D|F|G|H|J|K|L|;|:|]"},
    {0x2B, "\\|Z|X|C|V|B|N|M|,|.|/"},
    {0x37, "ﾃﾝｷｰ[*]"},
    {0x39, "Space"},
    {0x40, "F6|F7|F8|F9|F10"},
    {0x47,
     "ﾃﾝｷｰ[7]|ﾃﾝｷｰ[8]|ﾃﾝｷｰ[9]|ﾃﾝｷｰ[-]|ﾃﾝｷｰ[4]|ﾃﾝｷｰ[5]|ﾃﾝｷｰ[6]|ﾃﾝｷｰ[+]|ﾃﾝｷｰ[1]|ﾃﾝｷｰ[2]|ﾃﾝｷｰ[3]|ﾃﾝｷｰ["
     "0]|ﾃﾝｷｰ[.]"},
    {0x57, "F11|F12"},
    {0xB5, "ﾃﾝｷｰ[/]"},
    {0xC7, "Home"},
    {0xC9, "PageUp"},
    {0xCF, "End"},
    {0xD1, "PageDown|Insert|Delete"},
};

std::string ButtonText(uint8_t code) {
  return code >= kJoyFirstButton ? Cp932Literal("ボタン") + std::to_string(code - 3)
                                 : std::string();
}

// The list offers only faces that fit the field with its NUL.
void SetFace(UserConfig& config, const std::string& face) {
  std::memset(config.fontFace, 0, sizeof config.fontFace);
  std::memcpy(config.fontFace, face.data(), std::min(face.size(), sizeof config.fontFace - 1));
}

// The previews: a speed bar under each text speed slider and the font sample.
constexpr int kUnreadPreview = 1085;
constexpr int kReadPreview = 1086;
constexpr int kFontSample = 1084;
constexpr uint32_t kPreviewTickMs = 16;

// The pages' size, in the dialog face's pixels, and where each page's second column starts.
constexpr int32_t kPageWidth = 740;
constexpr int32_t kPageHeight = 470;
constexpr int32_t kKeyLabelWidth = 190;
struct ColumnStart {
  int page;
  int id;
};
constexpr ColumnStart kColumnStarts[] = {{kSystem, 1070}, {kText1, 0},     {kText2, 1070},
                                         {kSound, 1074},  {kInput1, 1080}, {kInput2, 1082}};

// The quick-save keys: the fast-forward key's name with F1 to F5.
constexpr int kQuickSaveNote = 1084;

// The sound page's voice controls.
constexpr int kVoiceSlider = 1055;
constexpr int kVoiceList = 1141;
constexpr int kVoicePlays = 1076;
constexpr int32_t kMaxVoiceVolume = 256;

// What "デフォルト設定に戻す" shows: the record's defaults, the display options the engine starts
// with, and the ducking the sheet proposes.
UserConfig SheetDefaults() {
  constexpr uint8_t kDuckPercent = 65;
  UserConfig defaults;
  SetDisplayDefaults(defaults);
  defaults.duckPercent = kDuckPercent;
  return defaults;
}

class SettingsSheet {
 public:
  SettingsSheet(UserConfig& config, SettingsSheetHost& host) : config_(config), host_(host) {}

  SettingsSheetResult Run(host::HWND owner) {
    Build();
    dialog_.shownPage =
        config_.lastSettingsPage < kSettingsPageCount ? config_.lastSettingsPage : 0;
    for (int page = 0; page < kSettingsPageCount; ++page) Fill(page, config_);
    (void)host::RunDialog(owner, dialog_);  // the buttons' handlers leave the answer in result_
    return result_;
  }

 private:
  host::DialogControl* Find(int page, int id) {
    for (host::DialogControl& c : dialog_.controls) {
      if (c.page == page && c.id == id) return &c;
    }
    return nullptr;
  }

  void Add(host::DialogControl control) { dialog_.controls.push_back(std::move(control)); }
  void InsertAfter(int page, int id, host::DialogControl control) {
    const auto at = Where(page, id);
    dialog_.controls.insert(at == dialog_.controls.end() ? at : at + 1, std::move(control));
  }
  void InsertBefore(int page, int id, host::DialogControl control) {
    dialog_.controls.insert(Where(page, id), std::move(control));
  }
  std::vector<host::DialogControl>::iterator Where(int page, int id) {
    return std::find_if(dialog_.controls.begin(), dialog_.controls.end(),
                        [&](const host::DialogControl& c) { return c.page == page && c.id == id; });
  }

  // The pages' controls as they would be stored.
  UserConfig Shown(int page) {
    UserConfig live = config_;
    for (const Binding& b : kBindings) {
      if (b.page == page) Store(b, Find(page, b.id)->value, live);
    }
    return live;
  }

  void DrawSpeedBars() {
    const UserConfig live = Shown(kText1);
    DrawSpeedBar(Find(kText1, kUnreadPreview)->image, live.unreadCharMs, live.unreadNoWait != 0,
                 previewMs_);
    DrawSpeedBar(Find(kText1, kReadPreview)->image, live.readCharMs, live.readNoWait != 0,
                 previewMs_);
  }

  void DrawSample() {
    UserConfig live = Shown(kText2);
    const host::DialogControl& list = *Find(kText2, 1121);
    if (list.value >= 0 && static_cast<size_t>(list.value) < list.items.size())
      SetFace(live, list.items[list.value]);
    DrawFontSample(Find(kText2, kFontSample)->image, live);
  }

  void Build() {
    dialog_.title = Cp932Literal("環境設定");
    for (const char* title :
         {"システム", "テキスト１", "テキスト２", "サウンド", "入力１", "入力２", "ウィンドウ"})
      dialog_.pages.push_back(Cp932Literal(title));
    dialog_.buttons = {{kSettingsSheetOk, "OK"},
                       {kSettingsSheetCancel, Cp932Literal("キャンセル")}};
    dialog_.okButton = kSettingsSheetOk;
    dialog_.closeAnswer = kSettingsSheetCancel;
    dialog_.pageWidth = kPageWidth;
    dialog_.pageHeight = kPageHeight;
    dialog_.cursorToCentre = host_.PointerMoves();
    dialog_.onPageNotice = [this](host::Dialog&, int page, host::PageNotice notice) {
      Notice(page, notice);
    };
    dialog_.onJoystick = [this](host::Dialog&, int event) { JoystickEvent(event); };
    host::DialogControl defaults{.id = kRestoreDefaults,
                                 .kind = Kind::kAction,
                                 .label = Cp932Literal("デフォルト設定に戻す"),
                                 .leftOfButtons = true};
    defaults.onChange = [this](host::Dialog& d, host::DialogControl&) {
      Fill(d.shownPage, SheetDefaults(), true);
    };
    Add(std::move(defaults));

    Add({.id = 1080,
         .kind = Kind::kRadio,
         .page = kSystem,
         .items = {Cp932Literal("ウィンドウ"), Cp932Literal("フルスクリーン")}});
    dialog_.controls.back().onChange = [this](host::Dialog&, host::DialogControl& c) {
      // The screen mode changes at once; the radio shows what came of it.
      host_.ToggleScreenMode();
      c.value = host_.FullScreen() ? 1 : 0;
    };
    for (const Binding& b : kBindings) {
      host::DialogControl control{.id = b.id,
                                  .kind = b.kind,
                                  .label = Cp932Literal(b.label),
                                  .page = b.page,
                                  .maximum = b.maximum};
      for (const char* item : b.items) control.items.push_back(Cp932Literal(item));
      if (b.id == 1074 && b.page == kSound) control.enabled = false;
      control.onChange = [this, &b](host::Dialog&, host::DialogControl& c) { Changed(b, c); };
      Add(std::move(control));
    }
    BuildVoices();
    InsertAfter(kText1, 1051, {.id = kUnreadPreview, .kind = Kind::kImage, .page = kText1});
    InsertAfter(kText1, 1052, {.id = kReadPreview, .kind = Kind::kImage, .page = kText1});
    InsertAfter(kText2, 1054, {.id = kFontSample, .kind = Kind::kImage, .page = kText2});
    dialog_.tickMs = kPreviewTickMs;
    dialog_.onTick = [this](host::Dialog& d) {
      if (d.shownPage != kText1 || !previewsRunning_) return;
      previewMs_ += kPreviewTickMs;
      DrawSpeedBars();
    };
    host::DialogControl faces{.id = 1121, .kind = Kind::kListBox, .page = kText2};
    faces.onChange = [this](host::Dialog&, host::DialogControl&) { DrawSample(); };
    for (const std::string& face : host_.FontFaces()) {
      if (face.size() < sizeof config_.fontFace) faces.items.push_back(face);
    }
    InsertBefore(kText2, 1122, std::move(faces));
    host::DialogControl monitors{.id = 1082,
                                 .kind = Kind::kCombo,
                                 .label = Cp932Literal("対象モニタ"),
                                 .page = kWindow,
                                 .items = {Cp932Literal("ウィンドウがあるモニタ")}};
    for (const std::string& monitor : host_.Monitors()) monitors.items.push_back(monitor);
    InsertAfter(kWindow, 1183, std::move(monitors));
    InsertBefore(kWindow, 1181,
                 {.kind = Kind::kLabel,
                  .label = Cp932Literal("画面モード設定（※次回変更時に反映）"),
                  .page = kWindow});
    InsertAfter(kInput2, 1072,
                {.id = 1161,
                 .kind = Kind::kCheck,
                 .label = Cp932Literal("マウスカーソルを自動的に既定位置に移動する"),
                 .page = kInput2});
    BuildSoundTests();
    InsertBefore(
        kText1, 1053,
        {.kind = Kind::kLabel,
         .label = Cp932Literal("オートプレイ：待ち時間 ＝ 表示した文字数 × 文字時間 ＋ 最小時間"),
         .page = kText1});
    Add({.kind = Kind::kLabel,
         .label = Cp932Literal("F1～F5：クイックロード（1～5）"),
         .page = kInput1});
    Add({.id = kQuickSaveNote, .kind = Kind::kLabel, .page = kInput1});
    BuildKeyFields();
    for (const auto [page, id] : kColumnStarts) Where(page, id)->newColumn = true;
  }

  // Each TEST beside the volume it is heard at.
  void BuildSoundTests() {
    constexpr int kTestedSliders[] = {1053, 1054, kVoiceSlider};
    for (int i = 0; i < 3; ++i) {
      host::DialogControl test{
          .id = 1077 + i, .kind = Kind::kAction, .label = "TEST", .page = kSound, .sameLine = true};
      test.onChange = [this, i](host::Dialog&, host::DialogControl&) {
        host_.PlayTest(i, i == 2 && !Unified() ? ChosenVoice() : nullptr);
      };
      InsertAfter(kSound, kTestedSliders[i], std::move(test));
    }
  }

  // The key fields of both input pages; the second page's fields only clear, with Delete.
  void BuildKeyFields() {
    for (int page : {kInput1, kInput2}) {
      // The fields stand first on their page (after the joystick switch).
      int after = page == kInput2 ? 1070 : 0;
      for (int i = 0; i < kKeyFieldCount; ++i) {
        host::DialogControl field{.id = kFirstKeyField + i,
                                  .kind = Kind::kKeyField,
                                  .label = Cp932Literal(kActionNames[i]),
                                  .page = page,
                                  .labelWidth = kKeyLabelWidth};
        field.onKey = [this, page](host::Dialog& d, host::DialogControl& c, int code) {
          if (page == kInput1) {
            KeyPressed(d, c, code);
          } else if (code == kDeleteKey) {
            c.value = 0, c.text.clear();
          }
        };
        if (after != 0) {
          InsertAfter(page, after, std::move(field));
        } else {
          InsertBefore(page, 1080, std::move(field));
        }
        if (after != 0) after = kFirstKeyField + i;
      }
    }
  }

  // The voice slider, the character list and the chosen character's switch.
  void BuildVoices() {
    voices_ = host_.VoiceCharacters();
    host::DialogControl slider{.id = kVoiceSlider, .kind = Kind::kSlider, .page = kSound};
    slider.maximum = kMaxVoiceVolume;
    slider.onChange = [this](host::Dialog&, host::DialogControl& c) {
      VoiceCharacter* chosen = Unified() ? nullptr : ChosenVoice();
      (chosen ? chosen->setting : voiceVolume_) = uint32_t(c.value);
      ShowVoice();
      PushSound();
    };
    InsertAfter(kSound, 1075, std::move(slider));
    host::DialogControl list{.id = kVoiceList, .kind = Kind::kListBox, .page = kSound};
    for (const VoiceCharacter& v : voices_)
      list.items.push_back(v.name.empty() ? Cp932Literal("？？？") : v.name);
    list.value = voices_.empty() ? -1 : 0;
    list.onChange = [this](host::Dialog&, host::DialogControl&) { ShowVoice(); };
    InsertAfter(kSound, kVoiceSlider, std::move(list));
    host::DialogControl plays{.id = kVoicePlays,
                              .kind = Kind::kCheck,
                              .label = Cp932Literal("このキャラクター\nの音声を再生する"),
                              .page = kSound};
    plays.onChange = [this](host::Dialog&, host::DialogControl& c) {
      if (VoiceCharacter* chosen = ChosenVoice()) chosen->enabled = c.value != 0 ? 1 : 0;
    };
    InsertAfter(kSound, kVoiceList, std::move(plays));
  }

  bool Unified() { return Find(kSound, 1075)->value != 0; }
  VoiceCharacter* ChosenVoice() {
    const int32_t row = Find(kSound, kVoiceList)->value;
    return row >= 0 && size_t(row) < voices_.size() ? &voices_[size_t(row)] : nullptr;
  }

  // The slider shows every character's volume when they are unified, else the chosen one's.
  void ShowVoice() {
    const VoiceCharacter* chosen = ChosenVoice();
    const uint32_t volume = chosen && !Unified() ? chosen->setting : voiceVolume_;
    host::DialogControl& slider = *Find(kSound, kVoiceSlider);
    slider.value = int32_t(std::min<uint32_t>(volume, kMaxVoiceVolume));
    slider.valueText = std::to_string(volume);
    host::DialogControl& plays = *Find(kSound, kVoicePlays);
    plays.enabled = chosen != nullptr;
    plays.value = chosen && chosen->enabled ? 1 : 0;
  }

  // The page's controls from a record (the stored one, or the defaults).
  void Fill(int page, const UserConfig& from, bool defaults = false) {
    filledFrom_[page] = from;
    std::erase_if(touched_, [page](int key) { return key / 10000 == page; });
    for (const Binding& b : kBindings) {
      if (b.page != page) continue;
      host::DialogControl* c = Find(page, b.id);
      c->value = ControlValue(b, from);
      // A slider shows the value it will store, also one outside its range.
      ShowValue(b, *c, StoredValue(b, from));
    }
    if (page == kSystem) Find(kSystem, 1080)->value = host_.FullScreen() ? 1 : 0;
    if (page == kText2) {
      host::DialogControl* list = Find(kText2, 1121);
      const std::string face = from.FontFaceName();
      list->value = static_cast<int32_t>(std::find(list->items.begin(), list->items.end(), face) -
                                         list->items.begin());
      if (list->value >= static_cast<int32_t>(list->items.size())) list->value = -1;
    }
    if (page == kWindow) Find(kWindow, 1082)->value = from.monitorNumber;
    if (page == kInput2) Find(kInput2, 1161)->value = host_.PointerMoves() ? 1 : 0;
    for (int i = 0; i < kKeyFieldCount; ++i) {
      if (page == kInput1) {
        host::DialogControl* field = Find(kInput1, kFirstKeyField + i);
        field->value = from.actionKeys[i];
        field->text = KeyName(field->value);
      } else if (page == kInput2) {
        host::DialogControl* field = Find(kInput2, kFirstKeyField + i);
        field->value = from.actionButtons[i] >= kJoyFirstButton ? from.actionButtons[i] : 0;
        field->text = ButtonText(static_cast<uint8_t>(field->value));
      }
    }
    Enable(page);
    if (page == kSound) {
      voiceVolume_ = from.voiceVolume;
      if (defaults) {
        for (VoiceCharacter& v : voices_)
          v.setting = VoiceCharacter::kDefaultSetting, v.enabled = 1;
      }
      ShowVoice();
      PushSound();
    }
    if (page == kText1) DrawSpeedBars();
    if (page == kText2) DrawSample();
  }

  static void ShowValue(const Binding& b, host::DialogControl& c, int64_t stored) {
    if (b.kind != Kind::kSlider) return;
    c.valueText = std::to_string(stored);
    if (b.unit) {
      c.valueText += Cp932Literal(b.unit);
    } else if (b.scale > 1) {
      c.valueText += " ms";
    }
  }

  // Controls that follow a check box of their page.
  void Enable(int page) {
    auto on = [&](int id) { return Find(page, id)->value != 0; };
    if (page == kSystem) Find(kSystem, 1051)->enabled = on(1109);
    if (page == kText1) {
      Find(kText1, 1051)->enabled = !on(1070);
      Find(kText1, 1052)->enabled = !on(1071);
    }
    if (page == kInput2) {
      for (int i = 0; i < kKeyFieldCount; ++i)
        Find(kInput2, kFirstKeyField + i)->enabled = on(1070);
    }
    if (page == kInput1) {
      Find(kInput1, kQuickSaveNote)->label = Cp932Literal(on(1080) ? "Ctrl" : "Shift") +
                                             Cp932Literal("＋F1～F5：クイックセーブ（1～5）");
    }
  }

  void Changed(const Binding& b, host::DialogControl& c) {
    touched_.push_back(b.page * 10000 + b.id);
    ShowValue(b, c, int64_t{c.value} * b.scale + b.offset);
    Enable(b.page);
    if (b.page == kSound) ShowVoice(), PushSound();
    if (b.page == kText1) DrawSpeedBars();
    if (b.page == kText2) DrawSample();
  }

  // The sound page is heard as it is set.
  void PushSound() {
    UserConfig live = config_;
    for (const Binding& b : kBindings) {
      if (b.page == kSound) Store(b, Find(kSound, b.id)->value, live);
    }
    live.voiceVolume = voiceVolume_;
    host_.ApplySound(live);
  }

  void KeyPressed(host::Dialog& dialog, host::DialogControl& field, int code) {
    if (code < 1 || code > 211 || KeyName(code).empty() || code == field.value) return;
    Assign(dialog, field, code, KeyName(code));
  }

  void JoystickEvent(int event) {
    host::DialogControl* field = dialog_.Control(dialog_.focusedId);
    if (dialog_.shownPage != kInput2 || event < kJoyFirstButton || !field ||
        field->page != kInput2 || field->kind != Kind::kKeyField || !field->enabled) {
      return;
    }
    Assign(dialog_, *field, event, ButtonText(static_cast<uint8_t>(event)));
  }

  // A code held by one field at a time; the focus moves on to the next field.
  void Assign(host::Dialog& dialog, host::DialogControl& field, int code, std::string text) {
    for (int i = 0; i < kKeyFieldCount; ++i) {
      host::DialogControl* other = Find(field.page, kFirstKeyField + i);
      if (other != &field && other->value == code) other->value = 0, other->text.clear();
    }
    field.value = code;
    field.text = std::move(text);
    if (field.id + 1 < kFirstKeyField + kKeyFieldCount) dialog.focusedId = field.id + 1;
  }

  void Notice(int page, host::PageNotice notice) {
    if (notice == host::PageNotice::kSetActive) {
      config_.lastSettingsPage = static_cast<uint8_t>(page);
      // The bars move only while their page is shown, and go on from where they stood.
      if (page == kText1) previewsRunning_ = true;
    } else if (notice == host::PageNotice::kKillActive && page == kText1) {
      previewsRunning_ = false;
    } else if (notice == host::PageNotice::kApply) {
      Apply(page);
    } else if (notice == host::PageNotice::kReset && page == kSound) {
      // Everything the sound page pushed goes back to the stored fields.
      host_.ApplySound(config_);
    }
  }

  void Apply(int page) {
    const UserConfig before = config_;
    for (const Binding& b : kBindings) {
      if (b.page != page) continue;
      const host::DialogControl& c = *Find(page, b.id);
      // A slider left alone stores what it showed, also a value outside its range.
      const bool touched =
          std::find(touched_.begin(), touched_.end(), page * 10000 + b.id) != touched_.end();
      if (b.kind == Kind::kSlider && !touched) {
        CopyField(b, filledFrom_[page], config_);
        continue;
      }
      if (b.kind == Kind::kCombo && c.value < 0) continue;
      Store(b, c.value, config_);
    }
    result_.applied = true;
    switch (page) {
      case kSystem:
        if (config_.tooltipsOn != before.tooltipsOn ||
            config_.tooltipDelayMs != before.tooltipDelayMs)
          result_.tooltipChanged = result_.textChanged = true;
        if (config_.markChosenChoices != before.markChosenChoices) result_.frameNotice = true;
        break;
      case kText1:
        result_.textChanged = true;
        break;
      case kText2: {
        const host::DialogControl& list = *Find(kText2, 1121);
        if (list.value >= 0 && static_cast<size_t>(list.value) < list.items.size())
          SetFace(config_, list.items[list.value]);
        if (std::memcmp(config_.fontFace, before.fontFace, sizeof before.fontFace) != 0 ||
            config_.fontAntialias != before.fontAntialias ||
            config_.fontGradation != before.fontGradation ||
            config_.fontDecoration != before.fontDecoration ||
            config_.fontBold != before.fontBold || config_.rubyBold != before.rubyBold) {
          result_.fontNotice = true;
        }
        if (config_.drawTextFrame != before.drawTextFrame ||
            config_.frameAlpha != before.frameAlpha || config_.frameColor != before.frameColor) {
          result_.frameNotice = true;
        }
        result_.textChanged = true;
        break;
      }
      case kSound:
        config_.voiceVolume = voiceVolume_;
        host_.SetVoiceCharacters(voices_);
        host_.ApplySound(config_);
        break;
      case kInput1:
        for (int i = 0; i < kKeyFieldCount; ++i)
          config_.actionKeys[i] = static_cast<uint8_t>(Find(kInput1, kFirstKeyField + i)->value);
        host_.ApplyKeys();
        result_.textChanged = true;
        break;
      case kInput2:
        for (int i = 0; i < kKeyFieldCount; ++i)
          config_.actionButtons[i] = static_cast<uint8_t>(Find(kInput2, kFirstKeyField + i)->value);
        host_.SetPointerMoves(Find(kInput2, 1161)->value != 0);
        host_.ApplyJoystick();
        break;
      case kWindow:
        config_.monitorNumber = static_cast<uint8_t>(std::max(0, Find(kWindow, 1082)->value));
        host_.ApplyDisplay(config_);
        break;
    }
  }

  UserConfig& config_;
  SettingsSheetHost& host_;
  bool previewsRunning_ = false;
  uint32_t previewMs_ = 0;    // the bars' time while their page was shown
  std::vector<int> touched_;  // sliders the player moved, as page * 10000 + id
  std::array<UserConfig, kSettingsPageCount> filledFrom_{};  // each page's last fill
  std::vector<VoiceCharacter> voices_;  // the characters' volumes and switches until OK
  uint32_t voiceVolume_ = 0;            // every character's volume as it will be stored
  host::Dialog dialog_;
  SettingsSheetResult result_;
};

}  // namespace

void SetDisplayDefaults(UserConfig& config) {
  constexpr uint8_t kThroughDeviceModes = 2;
  if (config.displayOption1 == 0) config.displayOption1 = kThroughDeviceModes;
  if (config.displayOption2 == 0) config.displayOption2 = kDirectDrawDrawing;
}

std::string KeyName(int code) {
  for (const KeyNameRange& range : kKeyNames) {
    std::string_view names = range.names;
    int key = range.first;
    for (;;) {
      const size_t bar = names.find('|');
      if (key == code) return Cp932Literal(names.substr(0, bar));
      if (bar == std::string_view::npos) break;
      names.remove_prefix(bar + 1);
      ++key;
    }
  }
  return {};
}

int32_t PlaySettingsTestSound(SoundChannelManager& channels, int which,
                              const VoiceCharacter* character) {
  struct TestSound {
    const char* file;
    uint8_t kind;
  };
  static constexpr TestSound kTests[] = {{"SE\\SE_TEST.OGG", kSoundEffect},
                                         {"SE\\SE_TEST.OGG", kSystemSoundEffect},
                                         {"VOICE\\VO_TEST.OGG", kVoice}};
  if (which < 0 || which >= static_cast<int>(std::size(kTests))) return kBadChannel;
  // The scripts number their channels from 0 up: the test borrows the last one that holds none
  // of their sounds (empty, or a test sound), as the kind it tests so that kind's switch and
  // volume are heard, and gives the kind back once it plays.
  auto borrowable = [](const SoundChannel& c) {
    if (!c.loaded || !c.fileName) return true;
    const std::string_view name = *c.fileName;
    return (name.starts_with("VOICE\\") && name.ends_with("_TEST.OGG")) ||
           std::any_of(std::begin(kTests), std::end(kTests),
                       [&](const TestSound& t) { return name == t.file; });
  };
  const bool own = which == 2 && character && !character->name.empty();
  const std::string file = own ? "VOICE\\" + character->name + "_TEST.OGG" : std::string();
  int32_t channel = channels.ChannelCount() - 1;
  while (channel >= 0 && !borrowable(*channels.GetChannel(channel))) --channel;
  SoundChannel* c = channels.GetChannel(channel);
  if (c == nullptr) return kBadChannel;
  const uint8_t kind = c->kind;
  // The channel is there and both kinds have their bit: neither is refused.
  (void)channels.SetChannelKind(channel, kTests[which].kind);
  int32_t result =
      channels.LoadChannel(channel, own ? file.c_str() : kTests[which].file, kLipSyncNone, false);
  if (result == kSoundOk && own) {
    result = channels.SetChannelVolume(
        channel, -1, int32_t(std::min<uint32_t>(character->setting, kFullVolumeFactor)));
  }
  if (result == kSoundOk) result = channels.PlayChannel(channel, false);
  (void)channels.SetChannelKind(channel, kind);
  return result;
}

SettingsSheetResult RunSettingsSheet(UserConfig& config, SettingsSheetHost& host,
                                     host::HWND owner) {
  SettingsSheet sheet(config, host);
  return sheet.Run(owner);
}

}  // namespace bw
