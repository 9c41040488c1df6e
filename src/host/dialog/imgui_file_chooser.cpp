// The file and folder choosers the dialog host draws: the folder's entries under the chosen
// filter, a name field, and OK and cancel.
#include <imgui.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <utility>

#include "host/cp932.h"
#include "host/dialog/imgui_dialog_host.h"
#include "host/dialog/imgui_dialog_parts.h"
#include "host/file/file_system.h"
#include "host/host_path.h"

namespace bw::host {

namespace {

// An entry of the chooser's list.
struct ListEntry {
  std::string name;  // UTF-8, as the folder has it
  bool folder = false;
};

bool MatchesPattern(std::string_view name, std::string_view pattern) {
  // Patterns are "*.EXT" or "*.*", several joined by ';', compared without case.
  size_t start = 0;
  while (start <= pattern.size()) {
    size_t end = pattern.find(';', start);
    if (end == std::string_view::npos) end = pattern.size();
    std::string_view one = pattern.substr(start, end - start);
    if (one == "*.*" || one == "*") return true;
    if (one.size() > 1 && one[0] == '*') {
      std::string_view tail = one.substr(1);
      if (name.size() >= tail.size()) {
        bool same = true;
        for (size_t i = 0; i < tail.size() && same; ++i) {
          same = std::tolower(static_cast<unsigned char>(name[name.size() - tail.size() + i])) ==
                 std::tolower(static_cast<unsigned char>(tail[i]));
        }
        if (same) return true;
      }
    }
    start = end + 1;
  }
  return false;
}

std::vector<ListEntry> ChooserEntries(const std::string& folder, std::string_view pattern,
                                      bool foldersOnly) {
  std::vector<ListEntry> entries;
  for (std::string& name : ListFolder(folder).value_or(std::vector<std::string>{})) {
    if (!name.empty() && name[0] == '.') continue;
    const std::optional<FileStatus> status = QueryFile(std::filesystem::path(folder) / name);
    const bool isFolder = status && status->IsFolder();
    if (!isFolder && (foldersOnly || !MatchesPattern(name, pattern))) continue;
    entries.push_back({std::move(name), isFolder});
  }
  std::sort(entries.begin(), entries.end(), [](const ListEntry& a, const ListEntry& b) {
    return a.folder != b.folder ? a.folder : a.name < b.name;
  });
  return entries;
}

// The asked folder when it names one, else the working folder; empty when neither can be
// reached (the working folder may have been removed), and the chooser then lists nothing.
std::string StartFolder(const std::string& engineFolder) {
  const std::string working = CurrentFolder();
  std::string linux;
  if (!engineFolder.empty() && EnginePathToLinuxPath(engineFolder, working, linux) == kPathOk) {
    const std::optional<FileStatus> status = QueryFile(linux);
    if (status && status->IsFolder()) {
      return std::filesystem::path(linux).lexically_normal().string();
    }
  }
  return working;
}

std::string ParentOf(const std::string& folder) {
  std::filesystem::path path(folder);
  return path.has_relative_path() ? path.parent_path().string() : folder;
}

// Keeps the chooser's state between frames and draws it.
struct Chooser {
  bool save = false;
  bool foldersOnly = false;
  std::string folder;  // UTF-8 Linux path
  std::vector<ListEntry> entries;
  std::vector<FileFilter> filters;
  int filter = 0;
  EditBuffer name;
  std::string defaultExtension;
  bool chosen = false;
  bool done = false;
  std::string result;  // UTF-8 Linux path

  void Refresh() {
    std::string pattern =
        filters.empty() ? std::string("*.*") : filters[static_cast<size_t>(filter)].pattern;
    entries = ChooserEntries(folder, pattern, foldersOnly);
  }
  void Enter(const std::string& next) {
    folder = next;
    Refresh();
  }
  void Accept() {
    if (foldersOnly) {
      result = folder;
    } else {
      std::string typed = name.bytes.data();
      if (typed.empty()) return;
      std::filesystem::path path = std::filesystem::path(folder) / typed;
      if (save && !defaultExtension.empty() && !path.has_extension())
        path += "." + defaultExtension;
      result = path.string();
    }
    chosen = true;
    done = true;
  }
  bool Draw(const std::string& title) {
    bool open = true;
    ImGuiViewport* viewport = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(viewport->GetCenter(), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(ImVec2(480, 360), ImGuiCond_Appearing);
    ImGui::Begin((title + "###chooser").c_str(), &open,
                 ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings);
    ImGui::TextUnformatted(folder.c_str());
    float listHeight = ImGui::GetContentRegionAvail().y -
                       ImGui::GetFrameHeightWithSpacing() * (foldersOnly ? 1 : 3);
    ImGui::BeginChild("entries", ImVec2(0, listHeight), true);
    if (ImGui::Selectable("..", false, ImGuiSelectableFlags_AllowDoubleClick) &&
        ImGui::IsMouseDoubleClicked(0)) {
      Enter(ParentOf(folder));
    }
    std::string enter;
    for (const ListEntry& entry : entries) {
      std::string label = entry.folder ? "[" + entry.name + "]" : entry.name;
      if (ImGui::Selectable(label.c_str(), !entry.folder && entry.name == name.bytes.data(),
                            ImGuiSelectableFlags_AllowDoubleClick)) {
        if (entry.folder && ImGui::IsMouseDoubleClicked(0)) {
          enter = (std::filesystem::path(folder) / entry.name).string();
        } else if (!entry.folder) {
          name.Set(Utf8ToCp932Lenient(entry.name));
          if (ImGui::IsMouseDoubleClicked(0)) Accept();
        }
      }
    }
    ImGui::EndChild();
    if (!enter.empty()) Enter(enter);
    if (!foldersOnly) {
      ImGui::InputText("##name", name.bytes.data(), name.bytes.size());
      if (!filters.empty()) {
        std::string preview = Utf8(filters[static_cast<size_t>(filter)].description);
        if (ImGui::BeginCombo("##filter", preview.c_str())) {
          for (size_t i = 0; i < filters.size(); ++i) {
            if (ImGui::Selectable(Utf8(filters[i].description).c_str(),
                                  static_cast<int>(i) == filter)) {
              filter = static_cast<int>(i);
              Refresh();
            }
          }
          ImGui::EndCombo();
        }
      }
    }
    if (ImGui::Button("OK")) Accept();
    ImGui::SameLine();
    if (ImGui::Button(Utf8(Utf8ToCp932Lenient("キャンセル")).c_str()) || !open ||
        ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape))) {
      done = true;
    }
    ImGui::End();
    return done;
  }
};

}  // namespace

FileChoice ImGuiDialogHost::ChooseFile(HWND owner, const FileChooserRequest& request) {
  if (!IsEventThread() || !Bind(owner)) return FileChoice{};
  Chooser chooser;
  chooser.save = request.save;
  chooser.folder = StartFolder(request.folder);
  chooser.filters = request.filters;
  chooser.name.maxBytes = 255;
  chooser.name.Set(request.fileName);
  chooser.defaultExtension = Utf8(request.defaultExtension);
  chooser.Refresh();
  std::string title = Utf8(request.title);
  RunLoop([&] { return chooser.Draw(title); });
  TakeDialogOffTheWindow();
  FileChoice choice;
  choice.filterIndex = static_cast<uint32_t>(chooser.filter) + 1;
  if (endRequested_ && endId_ != 0) chooser.Accept();
  if (closeRequested_ || !chooser.chosen) return choice;
  choice.chosen = LinuxPathToEnginePath(chooser.result, choice.path) == kPathOk;
  return choice;
}

FolderChoice ImGuiDialogHost::ChooseFolder(HWND owner, const FolderChooserRequest& request) {
  if (!IsEventThread() || !Bind(owner)) return FolderChoice{};
  Chooser chooser;
  chooser.foldersOnly = true;
  chooser.folder = StartFolder(request.folder);
  chooser.Refresh();
  std::string title = Utf8(request.title);
  RunLoop([&] { return chooser.Draw(title); });
  TakeDialogOffTheWindow();
  if (endRequested_ && endId_ != 0) chooser.Accept();
  FolderChoice choice;
  if (closeRequested_ || !chooser.chosen) return choice;
  choice.chosen = LinuxPathToEnginePath(chooser.result, choice.path) == kPathOk;
  return choice;
}

}  // namespace bw::host
