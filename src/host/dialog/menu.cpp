#include "host/dialog/menu.h"

#include "common/sjis.h"
#include "host/message_queue.h"

namespace bw::host {

namespace {

template <typename F>
bool Walk(std::vector<MenuItem>& items, int id, F& f) {
  bool found = false;
  for (MenuItem& item : items) {
    if (item.id == id && !item.separator && item.id != 0) {
      f(item);
      found = true;
    }
    found = Walk(item.items, id, f) || found;
  }
  return found;
}

}  // namespace

template <typename F>
bool Menu::ForEach(int id, F f) {
  std::lock_guard<std::mutex> guard(lock_);
  return Walk(bar_, id, f);
}

std::vector<MenuItem> Menu::Items() const {
  std::lock_guard<std::mutex> guard(lock_);
  return bar_;
}

bool Menu::EnableItem(int id, bool enabled) {
  return ForEach(id, [this, enabled](MenuItem& item) {
    if (item.enabled != enabled) ++changes_;
    item.enabled = enabled;
  });
}

bool Menu::CheckItem(int id, bool checked) {
  return ForEach(id, [this, checked](MenuItem& item) {
    if (item.checked != checked) ++changes_;
    item.checked = checked;
  });
}

uint64_t Menu::Changes() const {
  std::lock_guard<std::mutex> guard(lock_);
  return changes_;
}

bool Menu::IsEnabled(int id) const {
  bool enabled = false;
  auto f = [&enabled](MenuItem& item) { enabled = enabled || item.enabled; };
  std::lock_guard<std::mutex> guard(lock_);
  Walk(const_cast<std::vector<MenuItem>&>(bar_), id, f);
  return enabled;
}

bool Menu::Choose(int id) {
  if (!IsEnabled(id)) return false;
  return PostMessage(owner_, WM_COMMAND, static_cast<WPARAM>(static_cast<uint16_t>(id)), 0);
}

MenuLabel SplitMenuLabel(std::string_view cp932) {
  MenuLabel label;
  std::string* out = &label.text;
  for (size_t pos = 0; pos < cp932.size(); pos = sjis::Next(cp932, pos)) {
    size_t length = sjis::CharLength(cp932, pos);
    char c = cp932[pos];
    if (length == 1 && c == '\t' && out == &label.text) {
      out = &label.shortcut;
      continue;
    }
    if (length == 1 && c == '&' && out == &label.text) {
      if (pos + 1 < cp932.size() && cp932[pos + 1] == '&') {
        label.text.push_back('&');
        ++pos;
      }
      continue;
    }
    out->append(cp932.substr(pos, length));
  }
  return label;
}

}  // namespace bw::host
