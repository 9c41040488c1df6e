// A window's menu bar: top-level entries, each a command or a popup of commands. Items are
// enabled, greyed and checked by the engine from any thread; the window thread draws them and
// choosing an enabled item posts WM_COMMAND with its id to the owner.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "host/messages.h"

namespace bw::host {

struct MenuItem {
  int id = 0;         // 0 for a popup or a separator
  std::string label;  // CP932; "&" marks the access key, "\t" starts the shortcut text
  bool separator = false;
  bool enabled = true;
  bool checked = false;
  std::vector<MenuItem> items;  // a popup's entries
};

class Menu {
 public:
  Menu(HWND owner, std::vector<MenuItem> bar) : owner_(owner), bar_(std::move(bar)) {}

  HWND Owner() const { return owner_; }
  // A copy for drawing.
  std::vector<MenuItem> Items() const;
  // Every item with the id; false when there is none.
  [[nodiscard]] bool EnableItem(int id, bool enabled);
  [[nodiscard]] bool CheckItem(int id, bool checked);
  bool IsEnabled(int id) const;
  // Counts the changes of the items' states: a drawer that drew at one count draws again when
  // it moved.
  uint64_t Changes() const;
  // Posts WM_COMMAND (id) to the owner when the item exists and is enabled.
  [[nodiscard]] bool Choose(int id);

 private:
  template <typename F>
  bool ForEach(int id, F f);

  HWND owner_;
  mutable std::mutex lock_;
  std::vector<MenuItem> bar_;  // guarded by lock_
  uint64_t changes_ = 0;       // guarded by lock_
};

// The label as shown: "&" markers dropped ("&&" stays one "&"), the shortcut after the tab apart.
struct MenuLabel {
  std::string text;
  std::string shortcut;
};
MenuLabel SplitMenuLabel(std::string_view cp932);

}  // namespace bw::host
