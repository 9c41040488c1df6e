#include "savedata/save_load_dialog.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <utility>

#include "common/atomic_file.h"
#include "common/sjis.h"
#include "graphics/surface/image_surface.h"
#include "host/clock.h"
#include "host/cp932.h"
#include "host/dialog/dialog_host.h"
#include "host/file/host_file.h"
#include "host/input/key_state.h"
#include "resource/files/file_utils.h"
#include "savedata/save_data.h"
#include "savedata/save_file.h"

namespace bw {

namespace {

constexpr int kPageCount = 12;
constexpr int kSlotCount = 10;
constexpr uint8_t kNoSlot = 255;
constexpr uint8_t kStateEmpty = 2;
constexpr int kFirstNumberedPage = 2;
constexpr uint8_t kPendingComment = 1;
constexpr uint8_t kPendingProtect = 2;
// How long a save waits for the left button held since its click: polls and their spacing.
constexpr int kReleasePolls = 5;
constexpr uint32_t kReleasePollMs = 20;
// Why the pending edits did not reach the slot's file.
constexpr int kEditsNotRead = 1;
constexpr int kEditsNotSaveFile = 2;
constexpr int kEditsNotWritten = 3;
constexpr uint32_t kJoystickTickMs = 16;
constexpr int kJoystickUp = 0;
constexpr int kJoystickDown = 1;
constexpr int kJoystickLeft = 2;
constexpr int kJoystickRight = 3;

std::string Text(const char* utf8) {
  return host::Cp932Literal(utf8);
}

struct SaveSlotEntry {
  std::string mark;
  std::string longDate;
  std::string shortDate;
  std::string title;
  std::string comment;
  uint8_t state = kStateEmpty;  // the protect flag, or kStateEmpty without a valid file
};

// "YYYY/MM/DD(W) HH:MM" as "YY/MM/DD HH:MM".
std::string ShortDate(const std::string& longDate) {
  if (longDate.size() < 16) return {};
  return longDate.substr(2, 8) + " " + longDate.substr(longDate.size() - 5);
}

void BlackImage(host::DialogImage& image) {
  image.width = kThumbnailWidth;
  image.height = kThumbnailHeight;
  image.pixels.assign(size_t{kThumbnailWidth} * kThumbnailHeight * 4, 0);
  for (size_t i = 3; i < image.pixels.size(); i += 4) image.pixels[i] = 0xFF;
}

class SaveLoadDialog {
 public:
  SaveLoadDialog(SaveData& save, SaveLoadHost& host, bool saveMode)
      : save_(save), host_(host), saveMode_(saveMode), settings_(host.DialogSettings()) {}

  int Run(host::HWND owner) {
    Build();
    // Remembered values come from the settings file: out of range they show Page.1 and no row.
    shownPage_ = currentPage_ =
        settings_.lastDialogPage < kPageCount ? settings_.lastDialogPage : kFirstNumberedPage;
    currentSlot_ = settings_.lastDialogSlot < kSlotCount ? settings_.lastDialogSlot : kNoSlot;
    Fill(shownPage_);
    dialog_.tabs->selected = shownPage_;
    ShowCurrent();
    dialog_.list->pointerToSelected = host_.MovesPointer() && dialog_.list->selected >= 0;
    if (settings_.joystickEnabled != 0) {
      dialog_.onJoystick = [this](host::Dialog&, int event) { Joystick(event); };
      if (host_.OpenJoystick()) {
        dialog_.tickMs = kJoystickTickMs;
        dialog_.onTick = [this](host::Dialog&) {
          const int event = host_.PollJoystick();
          if (event >= 0) Joystick(event);
        };
      }
    }
    (void)host::RunDialog(owner, dialog_);  // what the player did is in the dialog's state
    // Closing: the comment being edited and pending edits reach the file; the place is kept.
    CommitComment();
    WriteBack();
    settings_.lastDialogPage = static_cast<uint8_t>(currentPage_);
    settings_.lastDialogSlot = currentSlot_;
    host_.StoreDialogSettings(settings_);
    return loadRequested_ ? kSaveLoadLoadRequested : kSaveLoadClosed;
  }

 private:
  host::DialogControl& Control(int id) { return *dialog_.Control(id); }

  void Build() {
    dialog_.templateId = saveMode_ ? kSaveDialogTemplate : kLoadDialogTemplate;
    dialog_.title = Text(saveMode_ ? "セーブ" : "ロード");
    dialog_.buttons = {{kSaveLoadCancel, Text("キャンセル")}};
    dialog_.closeAnswer = kSaveLoadCancel;
    host::DialogTabs tabs;
    tabs.labels = {"Auto", "Quick"};
    for (int page = 1; page <= 10; ++page) tabs.labels.push_back("Page." + std::to_string(page));
    tabs.onChange = [this](host::Dialog&) { TabChanged(); };
    dialog_.tabs = std::move(tabs);
    host::DialogList list;
    list.id = kSlotList;
    list.columns = {{"", 28, false},
                    {Text("タイトル"), 171, false},
                    {Text("記録日時"), 90, false},
                    {Text("コメント"), 208, false},
                    {Text("保護"), 36, true}};
    list.onSelect = [this](host::Dialog&) { RowSelected(); };
    list.onActivate = [this](host::Dialog&) { PressAct(); };
    dialog_.list = std::move(list);

    using Kind = host::DialogControlKind;
    host::DialogControl thumbnail{.id = kSlotThumbnail, .kind = Kind::kImage};
    BlackImage(thumbnail.image);
    host::DialogControl title{.id = kSlotTitle, .kind = Kind::kLabel, .column = true};
    host::DialogControl date{.id = kSlotDate, .kind = Kind::kLabel, .column = true};
    host::DialogControl comment{.id = kSlotComment,
                                .kind = Kind::kEdit,
                                .column = true,
                                .maxBytes = kCommentEditMax,
                                .multiLine = true};
    comment.onChange = [this](host::Dialog&, host::DialogControl&) { CommitComment(); };
    host::DialogControl protect{
        .id = kSlotProtect, .kind = Kind::kCheck, .label = Text("上書き禁止")};
    protect.onChange = [this](host::Dialog&, host::DialogControl& c) {
      ProtectClicked(c.value != 0);
    };
    host::DialogControl act{
        .id = kSlotAct, .kind = Kind::kAction, .label = Text(saveMode_ ? "セーブ" : "ロード")};
    act.onChange = [this](host::Dialog&, host::DialogControl&) { PressAct(); };
    host::DialogControl remove{
        .id = kSlotDelete, .kind = Kind::kAction, .label = Text("削除"), .sameLine = true};
    remove.onChange = [this](host::Dialog&, host::DialogControl&) { PressDelete(); };
    dialog_.controls = {thumbnail, title, date, comment, protect, act, remove};
    // The mode's check boxes set their field at once.
    struct Box {
      int id;
      const char* label;
      uint8_t SaveLoadSettings::*field;
    };
    static const Box kSaveBoxes[] = {
        {1071, "上書き時に確認ダイアログを表示する", &SaveLoadSettings::confirmOverwrite},
        {1072, "セーブ時にコメントを現在のテキストメッセージにする",
         &SaveLoadSettings::commentFromMessage},
        {1073, "セーブ実行後にダイアログを閉じる", &SaveLoadSettings::closeAfterSave},
        {1075, "サムネイルにフレームを描画しない", &SaveLoadSettings::thumbnailWithoutFrame}};
    static const Box kLoadBoxes[] = {
        {1071, "ロード時に確認ダイアログを表示する", &SaveLoadSettings::confirmLoad},
        {1072, "クイックロード時に確認ダイアログを表示する", &SaveLoadSettings::confirmQuickLoad},
        {1073, "ロード時に直前の状態をオートセーブ（セーブ可能な場合）",
         &SaveLoadSettings::autoSaveBeforeLoad}};
    auto add = [this](const Box& box) {
      host::DialogControl check{.id = box.id, .kind = Kind::kCheck, .label = Text(box.label)};
      check.value = settings_.*box.field != 0 ? 1 : 0;
      check.onChange = [this, field = box.field](host::Dialog&, host::DialogControl& c) {
        settings_.*field = c.value != 0 ? 1 : 0;
        host_.StoreDialogSettings(settings_);
      };
      dialog_.controls.push_back(std::move(check));
    };
    if (saveMode_) {
      for (const Box& box : kSaveBoxes) add(box);
    } else {
      for (const Box& box : kLoadBoxes) add(box);
    }
  }

  // Reads the ten slots of a page into the entries and the list.
  void Fill(int page) {
    const SaveSettings rings = save_.Settings();
    std::vector<std::vector<std::string>> rows;
    for (int slot = 0; slot < kSlotCount; ++slot) {
      SaveSlotEntry& entry = entries_[slot];
      entry = SaveSlotEntry{};
      uint8_t protect = 0;
      if (save_.ReadSaveSlotInfo(page, slot, nullptr, &entry.title, &entry.comment, &protect,
                                 &entry.longDate, false) == 0) {
        entry.state = protect != 0 ? 1 : 0;
        entry.shortDate = ShortDate(entry.longDate);
        // A foreign file may fill the whole field: the edit holds what the writer would.
        entry.comment = std::string(sjis::Truncate(entry.comment, kCommentEditMax));
      }
      const bool hasFile = entry.state != kStateEmpty;
      if (page == kAutoPage) {
        if (slot == rings.nextAutoSlot) entry.mark = Text(" →");
      } else if (page == kQuickPage) {
        if (slot < kQuickRingFirst) entry.mark = " F" + std::to_string(slot + 1);
        if (slot == rings.nextQuickSlot) entry.mark = Text(" →");
      } else if (hasFile && page == settings_.lastSavedPage && slot == settings_.lastSavedSlot) {
        entry.mark = "New";
      }
      std::string protectText = page < kFirstNumberedPage ? Text("－")
                                : entry.state == 1        ? Text("○")
                                                          : "";
      rows.push_back({entry.mark, hasFile ? entry.title : "NO DATA",
                      hasFile ? entry.shortDate : "--/--/-- --:--", hasFile ? entry.comment : "",
                      protectText});
    }
    dialog_.list->rows = std::move(rows);
    dialog_.list->selected = -1;
  }

  // Shows the current slot's details and selects its row when its page is shown.
  void ShowCurrent() {
    if (currentSlot_ != kNoSlot) {
      current_ = entries_[currentSlot_];
      ShowDetails();
      if (shownPage_ == currentPage_) {
        dialog_.list->selected = currentSlot_;
        dialog_.list->scrollToSelected = true;
      }
    } else {
      current_ = SaveSlotEntry{};
      ShowDetails();
    }
  }

  void ShowDetails() {
    host::DialogControl& picture = Control(kSlotThumbnail);
    host::DialogControl& comment = Control(kSlotComment);
    host::DialogControl& protect = Control(kSlotProtect);
    const uint32_t changes = picture.image.changes + 1;
    bool thumbnailShown = false;
    if (current_.state != kStateEmpty) {
      Control(kSlotTitle).text = current_.title;
      Control(kSlotDate).text = current_.longDate;
      comment.text = current_.comment;
      comment.readOnly = false;
      protect.value = current_.state;
      protect.enabled = true;
      thumbnailShown = ReadThumbnail(picture.image);
    } else {
      Control(kSlotTitle).text = Text(" NO DATA");
      Control(kSlotDate).text = Text(" ----/--/--(－) --:--");
      comment.text.clear();
      comment.readOnly = true;
      protect.value = 0;
      protect.enabled = false;
    }
    if (!thumbnailShown) {
      BlackImage(picture.image);
      host_.EmptyThumbnail(picture.image);
    }
    picture.image.changes = changes;
    EnableButtons();
  }

  bool ReadThumbnail(host::DialogImage& image) {
    ImageSurface surface;
    if (surface.Create(kThumbnailWidth, kThumbnailHeight, 32, 0) != 0) return false;
    if (save_.ReadSaveSlotInfo(currentPage_, currentSlot_, &surface, nullptr, nullptr, nullptr,
                               nullptr, false) != 0)
      return false;
    image.width = kThumbnailWidth;
    image.height = kThumbnailHeight;
    image.pixels.resize(size_t{kThumbnailWidth} * kThumbnailHeight * 4);
    for (int32_t y = 0; y < kThumbnailHeight; ++y) {
      const uint8_t* row = surface.GetRowPointer(y);
      uint8_t* out = image.pixels.data() + size_t(y) * kThumbnailWidth * 4;
      std::memcpy(out, row, size_t{kThumbnailWidth} * 4);
      for (int32_t x = 0; x < kThumbnailWidth; ++x) out[x * 4 + 3] = 0xFF;
    }
    return true;
  }

  void EnableButtons() {
    const bool hasFile = currentSlot_ != kNoSlot && current_.state != kStateEmpty;
    const bool unprotected = current_.state != 1;
    Control(kSlotAct).enabled =
        currentSlot_ != kNoSlot &&
        (saveMode_ ? currentPage_ >= kFirstNumberedPage && unprotected : hasFile);
    Control(kSlotDelete).enabled = hasFile && unprotected;
  }

  void CommitComment() {
    if (currentSlot_ == kNoSlot || current_.state == kStateEmpty) return;
    const std::string text =
        std::string(sjis::Truncate(Control(kSlotComment).text, kCommentEditMax));
    if (text == current_.comment) return;
    pending_ |= kPendingComment;
    current_.comment = text;
    if (shownPage_ == currentPage_) dialog_.list->rows[currentSlot_][3] = text;
  }

  void ProtectClicked(bool on) {
    if (currentSlot_ == kNoSlot || current_.state == kStateEmpty) return;
    const uint8_t state = on ? 1 : 0;
    if (state == current_.state) return;
    current_.state = state;
    pending_ |= kPendingProtect;
    if (shownPage_ == currentPage_ && currentPage_ >= kFirstNumberedPage)
      dialog_.list->rows[currentSlot_][4] = on ? Text("○") : "";
    EnableButtons();
  }

  // The changed comment and protect flag go into the slot's file, rewritten whole: a failure
  // leaves the file as it was.
  // The pending comment and protection into the current slot's file; a failure says so, and the
  // file keeps what it held.
  void WriteBack() {
    const uint8_t bits = std::exchange(pending_, 0);
    if (bits == 0 || currentSlot_ == kNoSlot) return;
    if (const int code = WriteEdits(bits)) {
      Failure("セーブデータへのコメントと保護の書き込みに失敗しました。ErrNo:", code);
    }
  }

  int WriteEdits(uint8_t bits) {
    std::string path;
    std::vector<uint8_t> bytes;
    if (!ResolveLinuxPath(save_.SlotPath(currentPage_, currentSlot_), nullptr, path) ||
        !host::ReadWholeFile(path, bytes)) {
      return kEditsNotRead;
    }
    ByteReader in(bytes);
    SaveHeader header;
    if (ReadSaveHeader(in, header) != 0) return kEditsNotSaveFile;
    if (bits & kPendingComment) {
      // The text, its NUL and zeros to the field's end.
      const std::string text = std::string(sjis::Truncate(current_.comment, kCommentEditMax));
      std::fill_n(bytes.begin() + kCommentOffset, kCommentFieldBytes, uint8_t{0});
      std::copy(text.begin(), text.end(), bytes.begin() + kCommentOffset);
    }
    if (bits & kPendingProtect) bytes[kProtectOffset] = current_.state;
    return WriteFileAtomically(path, bytes) ? 0 : kEditsNotWritten;
  }

  void RowSelected() {
    const int row = dialog_.list->selected;
    if (row < 0 || row >= kSlotCount) return;
    CommitComment();
    WriteBack();
    currentPage_ = shownPage_;
    currentSlot_ = static_cast<uint8_t>(row);
    current_ = entries_[row];
    ShowDetails();
  }

  void TabChanged() {
    CommitComment();
    shownPage_ = dialog_.tabs->selected;
    if (shownPage_ == currentPage_) {
      WriteBack();
      Fill(shownPage_);
      ShowCurrent();
    } else {
      Fill(shownPage_);
    }
  }

  void SelectTab(int page) {
    dialog_.tabs->selected = page;
    TabChanged();
  }

  std::string Caption(const char* question) {
    return Text("『") + Control(kSlotTitle).text + Text("』\r\n【記録日時") +
           Control(kSlotDate).text + Text("】\r\n") + Text(question);
  }

  void Failure(const char* format, int code) {
    char text[128];
    std::snprintf(text, sizeof text, "%s%d", Text(format).c_str(), code);
    host_.ShowMessage(text);
  }

  void PressAct() {
    if (!Control(kSlotAct).enabled) return;
    if (saveMode_) {
      Save();
    } else {
      Load();
    }
  }

  bool CheckSaveAllowed() {
    if (host_.SaveAllowed()) return true;
    host_.ShowMessage(
        Text("現在の状態をセーブすることは出来ません。\r\n一旦、ダイアログを閉じて下さい。"));
    return false;
  }

  // A click that saved may still be held: for a short while, let it go before the dialog
  // closes, so that its release does not reach the game.
  static void WaitForLeftButtonRelease() {
    for (int poll = 0; poll < kReleasePolls && (host::GetAsyncKeyState(host::VK_LBUTTON) & 0x8000);
         ++poll) {
      host::Sleep(kReleasePollMs);
    }
  }

  void Save() {
    if (currentPage_ < kFirstNumberedPage || current_.state == 1) return;
    if (!CheckSaveAllowed()) return;
    if (current_.state != kStateEmpty && settings_.confirmOverwrite != 0) {
      if (!host_.AskYesNo(Caption("を上書きしますか？")) || !CheckSaveAllowed()) return;
    }
    int result = kWriteUnexpected;  // also when the game ended before the work ran
    const int page = currentPage_;
    const int slot = currentSlot_;
    host_.RunInGame([&] { result = save_.WriteSaveData(page, slot); });
    WaitForLeftButtonRelease();
    if (result != 0) {
      Failure("セーブデータの作成に失敗しました。ErrNo:", result);
      return;
    }
    pending_ = 0;
    settings_.lastSavedPage = static_cast<uint8_t>(page);
    settings_.lastSavedSlot = static_cast<uint8_t>(slot);
    host_.StoreDialogSettings(settings_);
    if (settings_.closeAfterSave != 0) {
      dialog_.endAnswer = kSaveLoadCancel;
      return;
    }
    shownPage_ = currentPage_;
    dialog_.tabs->selected = shownPage_;
    Fill(shownPage_);
    ShowCurrent();
  }

  void Load() {
    if (current_.state == kStateEmpty) return;
    if (!host_.LoadAllowed()) {
      host_.ShowMessage(
          Text("現在の状態でロードすることは出来ません。\r\n一旦、ダイアログを閉じて下さい。"));
      return;
    }
    if (settings_.confirmLoad != 0 && !host_.AskYesNo(Caption("をロードしますか？"))) return;
    if (settings_.autoSaveBeforeLoad != 0 && host_.SaveAllowed()) {
      int result = kWriteUnexpected;
      host_.RunInGame([&] { result = save_.WriteSaveData(kAutoPage, -1); });
      if (result != 0) {
        Failure("ロード直前のオートセーブに失敗しました。ErrNo:", result);
        return;
      }
    }
    int result = kFindNoFile;  // also when the game ended before the work ran
    const int page = currentPage_;
    const int slot = currentSlot_;
    host_.RunInGame([&] {
      std::string name;
      result = save_.FindSaveFileName(name, page, slot);
      if (result == 0) host_.RequestLoad(name);
    });
    if (result != 0) {
      Failure("セーブデータのロードに失敗しました。ErrNo:", result);
      return;
    }
    loadRequested_ = true;
    dialog_.endAnswer = kSaveLoadCancel;
  }

  void PressDelete() {
    if (!Control(kSlotDelete).enabled || current_.state != 0) return;
    if (!host_.AskYesNo(Caption("を削除しますか？"))) return;
    if (save_.DeleteSaveSlot(currentPage_, currentSlot_) != 0) {
      host_.ShowMessage(Text("セーブデータを削除できませんでした。"));
      return;
    }
    pending_ = 0;
    if (shownPage_ == currentPage_) {
      Fill(shownPage_);
      ShowCurrent();
    } else {
      current_ = SaveSlotEntry{};
      ShowDetails();
    }
  }

  void Joystick(int event) {
    host::DialogList& list = *dialog_.list;
    if (event == kJoystickUp || event == kJoystickDown) {
      int row = list.selected;
      if (event == kJoystickUp) {
        row = row <= 0 ? kSlotCount - 1 : row - 1;
      } else {
        row = row < 0 || row >= kSlotCount - 1 ? 0 : row + 1;
      }
      list.selected = row;
      list.scrollToSelected = true;
      RowSelected();
    } else if (event == kJoystickLeft || event == kJoystickRight) {
      const int step = event == kJoystickLeft ? kPageCount - 1 : 1;
      SelectTab((dialog_.tabs->selected + step) % kPageCount);
    } else if (event == settings_.joystickDecideButton) {
      PressAct();
    } else if (event == settings_.joystickCancelButton) {
      dialog_.endAnswer = kSaveLoadCancel;
    }
  }

  SaveData& save_;
  SaveLoadHost& host_;
  const bool saveMode_;
  SaveLoadSettings settings_;
  host::Dialog dialog_;
  std::array<SaveSlotEntry, kSlotCount> entries_;
  SaveSlotEntry current_;
  int shownPage_ = kFirstNumberedPage;
  int currentPage_ = kFirstNumberedPage;
  uint8_t currentSlot_ = kNoSlot;
  uint8_t pending_ = 0;
  bool loadRequested_ = false;
};

}  // namespace

int RunSaveLoadDialog(SaveData& save, SaveLoadHost& host, host::HWND owner, bool saveMode) {
  SaveLoadDialog dialog(save, host, saveMode);
  return dialog.Run(owner);
}

bool LoadDialogPicture(const char* name, host::DialogImage& image) {
  ImageSurface surface;
  if (surface.Load(name, nullptr, 0, 0) != 0 || !surface.GetPixels()) return false;
  if (surface.GetBitsPerPixel() != 32 && surface.ConvertDepth(32) != 0) return false;
  BlackImage(image);
  const int32_t width = std::min(surface.GetWidth(), kThumbnailWidth);
  const int32_t height = std::min(surface.GetHeight(), kThumbnailHeight);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = surface.GetRowPointer(y);
    uint8_t* out = image.pixels.data() + size_t(y) * kThumbnailWidth * 4;
    for (int32_t x = 0; x < width; ++x) {
      std::memcpy(out + x * 4, row + x * 4, 3);
      out[x * 4 + 3] = 0xFF;
    }
  }
  ++image.changes;
  return true;
}

}  // namespace bw
