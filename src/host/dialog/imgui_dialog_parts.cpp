// The larger dialogs drawn by the dialog host: tabs and property pages, the list, and the controls
// of each page laid out in columns.
#include <SDL.h>
#include <imgui.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <utility>

#include "common/sjis.h"
#include "host/cp932.h"
#include "host/dialog/imgui_dialog_host.h"
#include "host/dialog/imgui_dialog_parts.h"
#include "host/message_queue.h"
#include "host/sdl/sdl_keys.h"
#include "host/stop_signals.h"

namespace bw::host {

std::string Utf8(std::string_view cp932) {
  return Cp932ToUtf8Lenient(cp932);
}

void EditBuffer::Set(std::string_view cp932) {
  std::string utf8 = Utf8(cp932);
  bytes.assign(maxBytes * 3 + 1, '\0');
  std::memcpy(bytes.data(), utf8.data(), std::min(utf8.size(), bytes.size() - 1));
}

std::string EditBuffer::Cp932() const {
  return Utf8ToCp932Lenient(bytes.data());
}

namespace {

constexpr float kVersionScale = 1.25f;
// The report area's background, 0x353505 as the system's BGR colour word.
const ImVec4 kReportBackground{0x05 / 255.0f, 0x35 / 255.0f, 0x35 / 255.0f, 1.0f};
constexpr float kReportWidth = 560.0f;
constexpr float kReportHeight = 260.0f;
// Where the pointer lands on the default button, from its top-left corner.
const ImVec2 kCursorOffset{56.0f, 8.0f};
constexpr int kWaitMs = 50;
// Text without a width of its own wraps here.
constexpr float kPlainTextWrap = 520.0f;
// Between the columns of a page.
constexpr float kColumnGap = 24.0f;

struct IconLook {
  ImU32 colour;
  const char* glyph;  // UTF-8
};

IconLook LookOf(DialogIcon icon) {
  switch (icon) {
    case DialogIcon::kError:
      return {IM_COL32(200, 40, 40, 255), "\xC3\x97"};  // multiplication sign
    case DialogIcon::kWarning:
      return {IM_COL32(230, 160, 0, 255), "!"};
    case DialogIcon::kQuestion:
      return {IM_COL32(40, 100, 200, 255), "?"};
    default:
      return {IM_COL32(40, 100, 200, 255), "i"};
  }
}

// A coloured disc with its sign, two lines high, as the platform's boxes show.
void DrawIcon(DialogIcon icon) {
  const auto [colour, glyph] = LookOf(icon);
  const float size = ImGui::GetTextLineHeight() * 2;
  const ImVec2 corner = ImGui::GetCursorScreenPos();
  ImGui::Dummy(ImVec2(size, size));
  const ImVec2 centre(corner.x + size / 2, corner.y + size / 2);
  ImDrawList* list = ImGui::GetWindowDrawList();
  list->AddCircleFilled(centre, size / 2, colour);
  const ImVec2 glyphSize = ImGui::CalcTextSize(glyph);
  list->AddText(ImVec2(centre.x - glyphSize.x / 2, centre.y - glyphSize.y / 2), IM_COL32_WHITE,
                glyph);
}

// The larger dialogs' parts: tabs or pages, the list, and the controls. Whatever the player
// changes is queued as a callback that runs between frames, where it may open dialogs of its own.
class ControlDrawer {
 public:
  // note is told each clickable item as it is drawn (its UTF-8 label).
  ControlDrawer(Dialog& dialog, SDL_Renderer* renderer,
                std::function<void(const std::string&)> note)
      : dialog_(dialog), renderer_(renderer), note_(std::move(note)) {}
  ~ControlDrawer() {
    for (auto& [id, texture] : textures_) SDL_DestroyTexture(texture.texture);
  }
  ControlDrawer(const ControlDrawer&) = delete;
  ControlDrawer& operator=(const ControlDrawer&) = delete;

  std::vector<std::function<void()>>& Pending() { return pending_; }
  // Where the selected row was drawn last, for the pointer to go to.
  const std::optional<ImVec2>& SelectedRowCorner() const { return selectedRowCorner_; }

  void DrawTabs() {
    if (dialog_.tabs) {
      DialogTabs& tabs = *dialog_.tabs;
      DrawTabBar("##tabs", tabs.labels, tabs.selected, &drawnTab_, [this](int chosen) {
        dialog_.tabs->selected = chosen;
        if (dialog_.tabs->onChange) dialog_.tabs->onChange(dialog_);
      });
    }
    if (!dialog_.pages.empty()) {
      DrawTabBar("##pages", dialog_.pages, dialog_.shownPage, &drawnPage_,
                 [this](int chosen) { ShowDialogPage(dialog_, chosen); });
    }
  }

  void DrawList() {
    if (!dialog_.list || dialog_.list->columns.empty()) return;
    DialogList& list = *dialog_.list;
    // Column widths are given for the system's 12-pixel face; the list grows with ours as far as
    // the window lets it.
    float given = 0;
    for (const DialogListColumn& column : list.columns)
      given += static_cast<float>(column.width) + 8;
    const float room = ImGui::GetMainViewport()->Size.x - 4 * ImGui::GetStyle().WindowPadding.x;
    const float scale = std::max(1.0f, std::min(ImGui::GetFontSize() / 12.0f, room / given));
    float width = 0;
    for (const DialogListColumn& column : list.columns)
      width += static_cast<float>(column.width) * scale + 8;
    const float rowHeight = ImGui::GetTextLineHeightWithSpacing();
    const ImVec2 size(width, rowHeight * static_cast<float>(list.rows.size() + 1) + 4);
    const ImGuiTableFlags flags = ImGuiTableFlags_Borders | ImGuiTableFlags_RowBg |
                                  ImGuiTableFlags_ScrollY | ImGuiTableFlags_SizingFixedFit;
    if (!ImGui::BeginTable(("##list" + std::to_string(list.id)).c_str(),
                           static_cast<int>(list.columns.size()), flags, size)) {
      return;
    }
    for (const DialogListColumn& column : list.columns)
      ImGui::TableSetupColumn(Utf8(column.title).c_str(), ImGuiTableColumnFlags_WidthFixed,
                              static_cast<float>(column.width) * scale);
    ImGui::TableHeadersRow();
    for (size_t row = 0; row < list.rows.size(); ++row) {
      ImGui::TableNextRow();
      const int index = static_cast<int>(row);
      for (size_t column = 0; column < list.columns.size(); ++column) {
        ImGui::TableSetColumnIndex(static_cast<int>(column));
        std::string cell =
            column < list.rows[row].size() ? Utf8(list.rows[row][column]) : std::string();
        if (column == 0) {
          const std::string label = cell + "##row" + std::to_string(row);
          if (ImGui::Selectable(
                  label.c_str(), list.selected == index,
                  ImGuiSelectableFlags_SpanAllColumns | ImGuiSelectableFlags_AllowDoubleClick)) {
            pending_.push_back([this, index] { Select(index); });
            if (ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left))
              pending_.push_back([this] { Activate(); });
          }
          note_(label);
          if (list.selected == index) selectedRowCorner_ = ImGui::GetItemRectMin();
          if (list.scrollToSelected && list.selected == index) {
            ImGui::SetScrollHereY();
            ImGui::SetItemDefaultFocus();
            list.scrollToSelected = false;
          }
          if (ImGui::IsItemFocused() && ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter))) {
            pending_.push_back([this, index] {
              Select(index);
              Activate();
            });
          }
          continue;
        }
        if (list.columns[column].centred) {
          const float space = static_cast<float>(list.columns[column].width) * scale -
                              ImGui::CalcTextSize(cell.c_str()).x;
          if (space > 0) ImGui::SetCursorPosX(ImGui::GetCursorPosX() + space / 2);
        }
        ImGui::TextUnformatted(cell.c_str());
      }
    }
    ImGui::EndTable();
  }

  // Every control of the shown page; with buttonsRow, the actions that stand left of the buttons
  // (whether any did).
  bool DrawControls(bool buttonsRow) {
    bool drawn = false;
    bool inColumn = false;
    // A page laid out in columns: each column is a group beside the one before.
    const bool columns =
        !buttonsRow &&
        std::any_of(dialog_.controls.begin(), dialog_.controls.end(),
                    [this](const DialogControl& c) { return Shown(c) && c.newColumn; });
    if (columns) ImGui::BeginGroup();
    for (size_t i = 0; i < dialog_.controls.size(); ++i) {
      DialogControl& control = dialog_.controls[i];
      if (!Shown(control) || control.leftOfButtons != buttonsRow) continue;
      if (columns && control.newColumn && drawn) {
        if (inColumn) ImGui::EndGroup();
        inColumn = false;
        ImGui::EndGroup();
        ImGui::SameLine(0, kColumnGap);
        ImGui::BeginGroup();
      }
      if (inColumn && !control.column) {
        ImGui::EndGroup();
        inColumn = false;
      }
      if ((control.column && !inColumn) || (!control.column && control.sameLine) ||
          (buttonsRow && drawn))
        ImGui::SameLine();
      if (control.column && !inColumn) {
        ImGui::BeginGroup();
        inColumn = true;
      }
      drawn = true;
      ImGui::BeginDisabled(!control.enabled);
      ImGui::PushID(control.id);
      DrawControl(control);
      ImGui::PopID();
      ImGui::EndDisabled();
    }
    if (inColumn) ImGui::EndGroup();
    if (columns) ImGui::EndGroup();
    return drawn;
  }

  // A key pressed while a key field has the focus; the field takes its DirectInput code.
  void TakeKey(int scancode) {
    DialogControl* control = dialog_.Control(dialog_.focusedId);
    if (!control || control->kind != DialogControlKind::kKeyField ||
        !ControlUsable(dialog_, *control))
      return;
    const int code = KeyCodesOf(scancode).scanCode;
    if (code == 0) return;
    const int id = control->id;
    pending_.push_back([this, id, code] {
      DialogControl* field = dialog_.Control(id);
      if (field && field->onKey) field->onKey(dialog_, *field, code);
    });
  }

 private:
  struct Texture {
    SDL_Texture* texture = nullptr;
    uint32_t changes = 0;
    int32_t width = 0;
    int32_t height = 0;
  };

  bool Shown(const DialogControl& control) const {
    return control.page < 0 || control.page == dialog_.shownPage;
  }

  void DrawTabBar(const char* id, const std::vector<std::string>& labels, int selected, int* drawn,
                  std::function<void(int)> choose) {
    if (!ImGui::BeginTabBar(id, ImGuiTabBarFlags_FittingPolicyScroll)) return;
    const bool forced = selected != *drawn;
    int active = -1;
    for (size_t i = 0; i < labels.size(); ++i) {
      const int index = static_cast<int>(i);
      const std::string label = Utf8(labels[i]) + "##tab" + std::to_string(i);
      const ImGuiTabItemFlags flags =
          forced && index == selected ? ImGuiTabItemFlags_SetSelected : 0;
      const bool open = ImGui::BeginTabItem(label.c_str(), nullptr, flags);
      note_(label);
      if (open) {
        active = index;
        ImGui::EndTabItem();
      }
    }
    ImGui::EndTabBar();
    *drawn = selected;
    // The bar shows the dialog's choice first; a click on another tab is the player's.
    if (!forced && active >= 0 && active != selected) {
      *drawn = active;
      pending_.push_back([choose, active] { choose(active); });
    }
  }

  void Select(int row) {
    if (!dialog_.list || row == dialog_.list->selected) return;
    dialog_.list->selected = row;
    if (dialog_.list->onSelect) dialog_.list->onSelect(dialog_);
  }

  void Activate() {
    if (dialog_.list && dialog_.list->selected >= 0 && dialog_.list->onActivate)
      dialog_.list->onActivate(dialog_);
  }

  void Changed(int id, std::function<void(DialogControl&)> set) {
    pending_.push_back([this, id, set = std::move(set)] {
      DialogControl* control = dialog_.Control(id);
      if (!control) return;
      if (set) set(*control);
      if (control->onChange) control->onChange(dialog_, *control);
    });
  }

  void DrawControl(DialogControl& control) {
    const std::string label = Utf8(control.label);
    switch (control.kind) {
      case DialogControlKind::kLabel:
        DrawText(label + Utf8(control.text));
        break;
      case DialogControlKind::kCheck: {
        bool checked = control.value != 0;
        if (ImGui::Checkbox(label.c_str(), &checked))
          Changed(control.id, [checked](DialogControl& c) { c.value = checked; });
        note_(label);
        break;
      }
      case DialogControlKind::kEdit:
      case DialogControlKind::kKeyField:
        DrawEdit(control, label);
        break;
      case DialogControlKind::kSlider: {
        int value = control.value;
        std::string format = "%d";
        if (!control.valueText.empty()) {
          format.clear();
          for (char c : Utf8(control.valueText))
            format += c == '%' ? std::string("%%") : std::string(1, c);
        }
        if (!label.empty()) DrawText(label);
        ImGui::SetNextItemWidth(220);
        if (ImGui::SliderInt("##slider", &value, control.minimum, control.maximum,
                             format.c_str())) {
          control.value = value;
          Changed(control.id, nullptr);
        }
        break;
      }
      case DialogControlKind::kCombo: {
        const std::string preview =
            control.value >= 0 && static_cast<size_t>(control.value) < control.items.size()
                ? Utf8(control.items[control.value])
                : "";
        ImGui::SetNextItemWidth(220);
        if (ImGui::BeginCombo(label.c_str(), preview.c_str())) {
          DrawItems(control);
          ImGui::EndCombo();
        }
        break;
      }
      case DialogControlKind::kListBox:
        if (!label.empty()) DrawText(label);
        if (ImGui::BeginListBox("##items", ImVec2(220, 0))) {
          DrawItems(control);
          ImGui::EndListBox();
        }
        break;
      case DialogControlKind::kRadio:
        if (!label.empty()) DrawText(label);
        for (size_t i = 0; i < control.items.size(); ++i) {
          const int item = static_cast<int>(i);
          if (i > 0) ImGui::SameLine();
          const std::string itemLabel = Utf8(control.items[i]) + "##radio" + std::to_string(i);
          if (ImGui::RadioButton(itemLabel.c_str(), control.value == item) &&
              control.value != item) {
            Changed(control.id, [item](DialogControl& c) { c.value = item; });
          }
          note_(itemLabel);
        }
        break;
      case DialogControlKind::kImage:
        DrawImage(control);
        break;
      case DialogControlKind::kAction:
        if (ImGui::Button(label.c_str())) Changed(control.id, nullptr);
        note_(label);
        break;
    }
  }

  // A text a player reads, told like the clickable items.
  void DrawText(const std::string& utf8) {
    ImGui::TextUnformatted(utf8.c_str());
    note_(utf8);
  }

  void DrawItems(DialogControl& control) {
    for (size_t i = 0; i < control.items.size(); ++i) {
      const int item = static_cast<int>(i);
      const bool chosen = control.value == item;
      if (ImGui::Selectable((Utf8(control.items[i]) + "##item" + std::to_string(i)).c_str(),
                            chosen) &&
          !chosen)
        Changed(control.id, [item](DialogControl& c) { c.value = item; });
      if (chosen) ImGui::SetItemDefaultFocus();
    }
  }

  void DrawEdit(DialogControl& control, const std::string& label) {
    Edit& edit = edits_[control.id];
    // The dialog may change the text itself (another row shown): the field follows.
    if (edit.buffer.bytes.empty() || edit.synced != control.text) {
      edit.buffer.maxBytes = control.maxBytes;
      edit.buffer.Set(control.text);
      edit.synced = control.text;
    }
    if (!label.empty()) {
      const float start = ImGui::GetCursorPosX();
      if (control.labelWidth > 0) ImGui::AlignTextToFramePadding();
      ImGui::TextUnformatted(label.c_str());
      if (control.labelWidth > 0) {
        ImGui::SameLine();
        ImGui::SetCursorPosX(start + static_cast<float>(control.labelWidth));
      }
    }
    const bool keyField = control.kind == DialogControlKind::kKeyField;
    ImGuiInputTextFlags flags = control.readOnly || keyField ? ImGuiInputTextFlags_ReadOnly : 0;
    bool edited = false;
    if (control.multiLine) {
      edited = ImGui::InputTextMultiline("##edit", edit.buffer.bytes.data(),
                                         edit.buffer.bytes.size(), ImVec2(360, 64), flags);
    } else {
      ImGui::SetNextItemWidth(keyField ? 120 : 220);
      edited =
          ImGui::InputText("##edit", edit.buffer.bytes.data(), edit.buffer.bytes.size(), flags);
    }
    if (ImGui::IsItemActive()) dialog_.focusedId = control.id;
    if (edited) {
      std::string cp932 = std::string(sjis::Truncate(edit.buffer.Cp932(), control.maxBytes));
      control.text = cp932;
      edit.synced = cp932;
    }
    if (ImGui::IsItemDeactivated()) {
      if (dialog_.focusedId == control.id) dialog_.focusedId = 0;
      if (!keyField) Changed(control.id, nullptr);
    }
  }

  void DrawImage(DialogControl& control) {
    const DialogImage& image = control.image;
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() < size_t(image.width) * image.height * 4) {
      ImGui::Dummy(ImVec2(static_cast<float>(std::max(image.width, 0)),
                          static_cast<float>(std::max(image.height, 0))));
      return;
    }
    Texture& texture = textures_[control.id];
    if (texture.texture && (texture.width != image.width || texture.height != image.height)) {
      SDL_DestroyTexture(texture.texture);
      texture = Texture{};
    }
    if (!texture.texture) {
      // ARGB8888 is B, G, R, A in memory on this machine's byte order.
      texture.texture = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888,
                                          SDL_TEXTUREACCESS_STATIC, image.width, image.height);
      texture.width = image.width;
      texture.height = image.height;
      texture.changes = image.changes - 1;
    }
    if (texture.texture && texture.changes != image.changes) {
      SDL_UpdateTexture(texture.texture, nullptr, image.pixels.data(), image.width * 4);
      texture.changes = image.changes;
    }
    const ImVec2 size(static_cast<float>(image.width), static_cast<float>(image.height));
    if (texture.texture) {
      ImGui::Image(texture.texture, size);
    } else {
      ImGui::Dummy(size);
    }
  }

  struct Edit {
    EditBuffer buffer;
    std::string synced;  // the control's text the buffer was last set from
  };

  Dialog& dialog_;
  SDL_Renderer* renderer_;
  std::function<void(const std::string&)> note_;
  std::vector<std::function<void()>> pending_;
  std::optional<ImVec2> selectedRowCorner_;
  std::map<int, Edit> edits_;
  std::map<int, Texture> textures_;
  int drawnTab_ = -1;
  int drawnPage_ = -1;
};

// The dialog's static texts: the version line larger, the others wrapped in their area.
void DrawTexts(const Dialog& dialog) {
  for (const DialogText& text : dialog.texts) {
    std::string utf8 = Utf8(text.text);
    if (text.emphasised) {
      ImGui::SetWindowFontScale(kVersionScale);
      ImGui::TextUnformatted(utf8.c_str());
      ImGui::SetWindowFontScale(1.0f);
      continue;
    }
    if (dialog.textWidth <= 0) {
      ImGui::PushTextWrapPos(ImGui::GetCursorPosX() + kPlainTextWrap);
      ImGui::TextUnformatted(utf8.c_str());
      ImGui::PopTextWrapPos();
      continue;
    }
    ImVec2 measured = ImGui::CalcTextSize(utf8.c_str());
    float width = static_cast<float>(dialog.textWidth);
    float height = static_cast<float>(dialog.textHeight);
    if (dialog.growToText) {
      width = std::max(width, measured.x);
    } else {
      // The text wraps inside the box's width; the box grows down rather than cut lines off.
      measured = ImGui::CalcTextSize(utf8.c_str(), nullptr, false, width);
    }
    height = std::max(height, measured.y);
    ImGuiStyle& style = ImGui::GetStyle();
    ImGui::BeginChild(text.id,
                      ImVec2(width + style.WindowPadding.x * 2, height + style.WindowPadding.y * 2),
                      true, ImGuiWindowFlags_NoScrollbar);
    bool oneLine = measured.y <= ImGui::GetTextLineHeight() + 0.5f;
    if (dialog.centreSingleLine && oneLine) ImGui::Dummy(ImVec2(0, measured.y / 2));
    ImGui::PushTextWrapPos(dialog.growToText ? 0.0f : ImGui::GetCursorPosX() + width);
    ImGui::TextUnformatted(utf8.c_str());
    ImGui::PopTextWrapPos();
    ImGui::EndChild();
  }
}

// The shown page's controls; a sheet whose pages all take one size keeps it, held to what the
// window leaves beside the sheet's title, tabs and buttons (inset: the menu bar's rows).
void DrawControls(const Dialog& dialog, ControlDrawer& controls, float inset) {
  if (dialog.pageWidth <= 0 || dialog.pageHeight <= 0 || dialog.pages.empty()) {
    controls.DrawControls(false);
    return;
  }
  const ImGuiViewport* viewport = ImGui::GetMainViewport();
  const ImGuiStyle& style = ImGui::GetStyle();
  const float chrome =
      ImGui::GetFrameHeight() * 3 + style.WindowPadding.y * 2 + style.ItemSpacing.y * 5;
  const ImVec2 page(
      std::min(static_cast<float>(dialog.pageWidth), viewport->Size.x - style.WindowPadding.x * 2),
      std::min(static_cast<float>(dialog.pageHeight), viewport->Size.y - inset - chrome));
  ImGui::BeginChild("##page", page);
  controls.DrawControls(false);
  ImGui::EndChild();
}

}  // namespace

// A dialog's state between its frames while RunDialog draws it.
struct ImGuiDialogHost::DialogRun {
  DialogRun(Dialog& shown, ControlDrawer& drawer) : dialog(shown), controls(drawer) {}
  Dialog& dialog;
  ControlDrawer& controls;
  EditBuffer edit;
  int answer = 0;
  std::vector<int> pendingActions;
  std::vector<int> pendingToggles;
  bool cursorMoved = false;
  bool rowPointerMoved = false;
  bool centreMoved = false;
  int frames = 0;
  uint32_t lastTick = 0;
  bool tickDue = false;
  bool ended = false;  // a frame's button or the close box ended it
  std::string windowName;
};

int ImGuiDialogHost::RunDialog(HWND owner, Dialog& dialog) {
  if (!IsEventThread() || !Bind(owner)) return dialog.closeAnswer;
  ControlDrawer controls(dialog, renderer_, [this](const std::string& label) { NoteItem(label); });
  DialogRun run(dialog, controls);
  run.answer = dialog.closeAnswer;
  if (dialog.edit) {
    run.edit.maxBytes = dialog.edit->maxBytes;
    run.edit.Set(dialog.edit->text);
  }
  std::vector<std::function<void()>>& pendingControls = controls.Pending();
  // Nested dialogs take the keys while they run.
  std::function<void(int)> outerKeyTaker =
      std::exchange(keyTaker_, [&controls](int scancode) { controls.TakeKey(scancode); });
  const int outerWaitMs = std::exchange(
      waitMs_,
      dialog.tickMs > 0 ? static_cast<int>(std::min<uint32_t>(dialog.tickMs, kWaitMs)) : kWaitMs);
  run.lastTick = SDL_GetTicks();
  OpenDialogPages(dialog);
  run.cursorMoved = !dialog.cursorToDefault;
  run.rowPointerMoved = !dialog.list || !dialog.list->pointerToSelected;
  run.windowName = Utf8(dialog.title) + "###dialog" + std::to_string(dialog.templateId);
  // Callbacks run between frames: they may open dialogs of their own.
  auto step = [&]() -> bool {
    const bool ended = DrawDialogFrame(run);
    run.ended = run.ended || ended;
    if (dialog.tickMs > 0 && SDL_GetTicks() - run.lastTick >= dialog.tickMs) {
      run.lastTick = SDL_GetTicks();
      run.tickDue = true;
    }
    return ended || run.tickDue || !run.pendingActions.empty() || !run.pendingToggles.empty() ||
           !pendingControls.empty();
  };
  for (;;) {
    RunLoop(step);
    if (endRequested_) {
      for (const DialogButton& button : dialog.buttons) {
        if (button.id == endId_) run.answer = endId_;
      }
      break;
    }
    if (closeRequested_) {
      run.answer = dialog.closeAnswer;
      break;
    }
    if (run.ended) {
      // A button that ends the dialog ends it also when a tick or a change came due in its
      // frame; the change (an edit the click left) still counts.
      RunDialogChanges(run);
      if (dialog.endAnswer) run.answer = *dialog.endAnswer;
      break;
    }
    if (run.pendingActions.empty() && run.pendingToggles.empty() && pendingControls.empty() &&
        !run.tickDue)
      break;
    RunDialogChanges(run);
    if (dialog.endAnswer) {
      run.answer = *dialog.endAnswer;
      break;
    }
  }
  if (dialog.edit)
    dialog.edit->text = std::string(sjis::Truncate(run.edit.Cp932(), dialog.edit->maxBytes));
  keyTaker_ = std::move(outerKeyTaker);
  waitMs_ = outerWaitMs;
  CloseDialogPages(dialog, run.answer);
  TakeDialogOffTheWindow();
  NoteProgress();
  return run.answer;
}

void ImGuiDialogHost::RunDialogChanges(DialogRun& run) {
  Dialog& dialog = run.dialog;
  std::vector<std::function<void()>> changes;
  changes.swap(run.controls.Pending());
  for (const std::function<void()>& change : changes) {
    change();
    if (dialog.endAnswer) break;
  }
  if (run.tickDue && !dialog.endAnswer && dialog.onTick) dialog.onTick(dialog);
  run.tickDue = false;
  std::vector<int> toggles;
  toggles.swap(run.pendingToggles);
  for (int id : toggles) {
    if (DialogCheckBox* box = dialog.CheckBox(id)) SetDialogCheck(dialog, *box, !box->checked);
  }
  std::vector<int> actions;
  actions.swap(run.pendingActions);
  for (int id : actions) {
    DialogAction* action = dialog.Action(id);
    if (action && action->onPress) action->onPress(dialog);
  }
}

bool ImGuiDialogHost::DrawDialogFrame(DialogRun& run) {
  Dialog& dialog = run.dialog;
  ++run.frames;
  ImGuiViewport* viewport = ImGui::GetMainViewport();
  int32_t inset = sink_->TopInset();
  const bool ownWindow = boxWindow_ && window_ == boxWindow_;
  ImGuiWindowFlags flags = ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoCollapse |
                           ImGuiWindowFlags_NoSavedSettings;
  if (ownWindow) {
    // The window is the box: its frame carries the title.
    ImGui::SetNextWindowPos(ImVec2(0, 0), ImGuiCond_Always);
    flags |= ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoMove;
  } else if (dialog.x >= 0 && dialog.y >= 0) {
    ImGui::SetNextWindowPos(
        ImVec2(static_cast<float>(dialog.x), static_cast<float>(dialog.y + inset)),
        ImGuiCond_Appearing);
  } else {
    ImGui::SetNextWindowPos(viewport->GetCenter(), ImGuiCond_Always, ImVec2(0.5f, 0.5f));
  }
  bool open = true;
  ImGui::Begin(run.windowName.c_str(), ownWindow ? nullptr : &open, flags);
  // Keep a placed dialog inside the window.
  ImVec2 pos = ImGui::GetWindowPos();
  ImVec2 size = ImGui::GetWindowSize();
  if (ownWindow) FitBoxWindow(size.x, size.y);
  if (dialog.icon != DialogIcon::kNone) {
    DrawIcon(dialog.icon);
    ImGui::SameLine();
    ImGui::BeginGroup();
  }
  ImVec2 limit(viewport->Size.x - size.x, viewport->Size.y - size.y);
  if (dialog.x >= 0 && (pos.x > limit.x || pos.y > limit.y)) {
    ImGui::SetWindowPos(
        ImVec2(std::max(0.0f, std::min(pos.x, limit.x)), std::max(0.0f, std::min(pos.y, limit.y))));
  }
  DrawTexts(dialog);
  if (dialog.icon != DialogIcon::kNone) ImGui::EndGroup();
  run.controls.DrawTabs();
  run.controls.DrawList();
  if (const auto& row = run.controls.SelectedRowCorner();
      row && !run.rowPointerMoved && run.frames > 2) {
    SDL_WarpMouseInWindow(sdlWindow_, static_cast<int>(row->x + kCursorOffset.x),
                          static_cast<int>(row->y + kCursorOffset.y));
    run.rowPointerMoved = true;
  }
  DrawControls(dialog, run.controls, static_cast<float>(inset));
  DrawDialogFields(run);
  bool ended = DrawDialogButtons(run);
  if (!open || ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape))) {
    run.answer = dialog.closeAnswer;
    ended = true;
  }
  if (dialog.cursorToCentre && !run.centreMoved && run.frames > 2) {
    SDL_WarpMouseInWindow(sdlWindow_, static_cast<int>(pos.x + size.x / 2),
                          static_cast<int>(pos.y + size.y / 2));
    run.centreMoved = true;
  }
  ImGui::End();
  return ended;
}

void ImGuiDialogHost::DrawDialogFields(DialogRun& run) {
  const Dialog& dialog = run.dialog;
  if (dialog.report) {
    ImGui::TextUnformatted(Utf8(dialog.report->label).c_str());
    std::string utf8 = Utf8(dialog.report->text);
    ImGui::PushStyleColor(ImGuiCol_FrameBg, kReportBackground);
    ImGui::PushStyleColor(ImGuiCol_Text, ImVec4(1, 1, 1, 1));
    ImGui::InputTextMultiline("##report", utf8.data(), utf8.size() + 1,
                              ImVec2(kReportWidth, kReportHeight), ImGuiInputTextFlags_ReadOnly);
    ImGui::PopStyleColor(2);
  }
  if (dialog.edit) {
    EditBuffer& edit = run.edit;
    if (run.frames == 1) ImGui::SetKeyboardFocusHere();
    if (ImGui::InputText("##edit", edit.bytes.data(), edit.bytes.size())) {
      std::string cp932 = edit.Cp932();
      std::string clipped = std::string(sjis::Truncate(cp932, edit.maxBytes));
      if (clipped.size() != cp932.size()) edit.Set(clipped);
    }
  }
  for (const DialogCheckBox& box : dialog.checkBoxes) {
    bool checked = box.checked;
    const std::string label = Utf8(box.label);
    if (ImGui::Checkbox(label.c_str(), &checked)) run.pendingToggles.push_back(box.id);
    NoteItem(label);
  }
  for (size_t i = 0; i < dialog.actions.size(); ++i) {
    if (i > 0) ImGui::SameLine();
    std::string label = Utf8(dialog.actions[i].label);
    if (ImGui::Button(label.c_str())) run.pendingActions.push_back(dialog.actions[i].id);
    NoteItem(label);
  }
}

// The page's left-hand actions, then the dialog's buttons; true when one ends the dialog.
bool ImGuiDialogHost::DrawDialogButtons(DialogRun& run) {
  const Dialog& dialog = run.dialog;
  bool ended = false;
  const DialogButton* defaultButton = DefaultButton(dialog);
  const bool leftActions = run.controls.DrawControls(true);
  for (size_t i = 0; i < dialog.buttons.size(); ++i) {
    if (i > 0 || leftActions) ImGui::SameLine();
    std::string label = Utf8(dialog.buttons[i].label);
    if (ImGui::Button(label.c_str(),
                      ImVec2(std::max(80.0f, ImGui::CalcTextSize(label.c_str()).x + 16), 0))) {
      run.answer = dialog.buttons[i].id;
      ended = true;
    }
    NoteItem(label);
    if (&dialog.buttons[i] == defaultButton && !run.cursorMoved && run.frames > 2) {
      ImVec2 corner = ImGui::GetItemRectMin();
      SDL_WarpMouseInWindow(sdlWindow_, static_cast<int>(corner.x + kCursorOffset.x),
                            static_cast<int>(corner.y + kCursorOffset.y));
      run.cursorMoved = true;
    }
  }
  if (defaultButton && ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows) &&
      ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter)) && !ImGui::GetIO().WantTextInput) {
    run.answer = defaultButton->id;
    ended = true;
  }
  if (dialog.edit && ImGui::IsItemDeactivated() &&
      ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter))) {
    run.answer = defaultButton ? defaultButton->id : run.answer;
    ended = true;
  }
  return ended;
}

}  // namespace bw::host
