#include "host/headless/headless_input_script.h"

#include <SDL.h>

#include <algorithm>
#include <charconv>

#include "host/headless/headless_backend.h"
#include "host/sdl/sdl_keys.h"

namespace bw::host {

namespace {

bool ParseInt(std::string_view text, int32_t least, int32_t most, int32_t* out) {
  int32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < least || value > most) {
    return false;
  }
  *out = value;
  return true;
}

// "X:Y" in the window.
bool ParsePoint(std::string_view text, int32_t* x, int32_t* y) {
  const size_t colon = text.find(':');
  return colon != std::string_view::npos && ParseInt(text.substr(0, colon), -32768, 32767, x) &&
         ParseInt(text.substr(colon + 1), -32768, 32767, y);
}

bool ParseButton(std::string_view name, MouseButton* button) {
  if (name == "left") {
    *button = MouseButton::kLeft;
  } else if (name == "right") {
    *button = MouseButton::kRight;
  } else if (name == "middle") {
    *button = MouseButton::kMiddle;
  } else {
    return false;
  }
  return true;
}

uint32_t ButtonFlag(MouseButton button) {
  switch (button) {
    case MouseButton::kLeft:
      return MK_LBUTTON;
    case MouseButton::kRight:
      return MK_RBUTTON;
    case MouseButton::kMiddle:
      return MK_MBUTTON;
  }
  return 0;
}

bool KeyEvent(std::string_view name, bool down, InputEvent* event) {
  const std::string owned(name);
  const SDL_Scancode scancode = SDL_GetScancodeFromName(owned.c_str());
  if (scancode == SDL_SCANCODE_UNKNOWN) return false;
  const KeyCodes codes = KeyCodesOf(scancode);
  if (codes.virtualKey == 0) return false;
  event->kind = down ? InputEventKind::kKeyDown : InputEventKind::kKeyUp;
  event->virtualKey = codes.virtualKey;
  event->scanCode = codes.scanCode & 0x7F;
  event->extended = (codes.scanCode & 0x80) != 0;
  return true;
}

}  // namespace

bool ParseHeadlessInput(std::string_view text, std::vector<HeadlessInputStep>* steps,
                        std::string* error) {
  steps->clear();
  int32_t pointerX = 0;
  int32_t pointerY = 0;
  uint32_t buttons = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) comma = text.size();
    const std::string_view item = text.substr(start, comma - start);
    start = comma + 1;
    auto fail = [&](const char* why) {
      *error = std::string(item) + ": " + why;
      return false;
    };
    const size_t colon = item.find(':');
    int32_t frame = 0;
    if (colon == std::string_view::npos || !ParseInt(item.substr(0, colon), 1, INT32_MAX, &frame)) {
      return fail("not a frame from 1 and an event");
    }
    const std::string_view rest = item.substr(colon + 1);
    const size_t nameEnd = rest.find(':');
    const std::string_view name = rest.substr(0, nameEnd);
    const std::string_view argument =
        nameEnd == std::string_view::npos ? std::string_view() : rest.substr(nameEnd + 1);
    HeadlessInputStep step;
    step.frame = static_cast<uint32_t>(frame);
    InputEvent& event = step.event;
    auto add = [&](const HeadlessInputStep& s) { steps->push_back(s); };
    if (name == "move" || name == "click") {
      if (!ParsePoint(argument, &pointerX, &pointerY)) return fail("needs X:Y");
      event.kind = InputEventKind::kMouseMove;
      event.x = pointerX;
      event.y = pointerY;
      event.keyState = buttons;
      add(step);
      if (name == "click") {
        event.kind = InputEventKind::kMouseButtonDown;
        event.button = MouseButton::kLeft;
        event.keyState = buttons | MK_LBUTTON;
        add(step);
        step.frame += 1;
        event.kind = InputEventKind::kMouseButtonUp;
        event.keyState = buttons & ~MK_LBUTTON;
        add(step);
      }
    } else if (name == "down" || name == "up") {
      MouseButton button = MouseButton::kLeft;
      if (!ParseButton(argument, &button)) return fail("names no button (left, right, middle)");
      const bool down = name == "down";
      buttons = down ? buttons | ButtonFlag(button) : buttons & ~ButtonFlag(button);
      event.kind = down ? InputEventKind::kMouseButtonDown : InputEventKind::kMouseButtonUp;
      event.button = button;
      event.x = pointerX;
      event.y = pointerY;
      event.keyState = buttons;
      add(step);
    } else if (name == "wheel") {
      int32_t notches = 0;
      if (!ParseInt(argument, -120, 120, &notches) || notches == 0) {
        return fail("needs a turn of 1 to 120 notches either way");
      }
      event.kind = InputEventKind::kMouseWheel;
      event.wheelNotches = notches;
      event.x = pointerX;
      event.y = pointerY;
      add(step);
    } else if (name == "key" || name == "keydown" || name == "keyup") {
      if (!KeyEvent(argument, name != "keyup", &event)) return fail("names no key");
      add(step);
      if (name == "key") {
        step.frame += 1;
        KeyEvent(argument, false, &event);
        add(step);
      }
    } else if (name == "text") {
      if (argument.empty()) return fail("types nothing");
      step.kind = HeadlessInputStep::Kind::kTypedText;
      step.utf8 = argument;
      add(step);
    } else if (name == "compose" || name == "convert") {
      step.kind = HeadlessInputStep::Kind::kComposition;
      step.utf8 = argument;
      step.cursor = name == "convert" ? 0 : -1;
      add(step);
    } else {
      return fail(
          "is no event (move, down, up, click, wheel, key, keydown, keyup, text, compose, "
          "convert)");
    }
  }
  std::stable_sort(
      steps->begin(), steps->end(),
      [](const HeadlessInputStep& a, const HeadlessInputStep& b) { return a.frame < b.frame; });
  // A key that goes down or up while an Alt key is held comes with Alt, as a keyboard gives it
  // (Alt+Enter is the screen mode's chord); both Alt keys share one virtual key.
  bool leftAlt = false, rightAlt = false;
  for (HeadlessInputStep& step : *steps) {
    InputEvent& event = step.event;
    if (step.kind != HeadlessInputStep::Kind::kEvent ||
        (event.kind != InputEventKind::kKeyDown && event.kind != InputEventKind::kKeyUp)) {
      continue;
    }
    if (event.virtualKey == VK_MENU) {
      (event.extended ? rightAlt : leftAlt) = event.kind == InputEventKind::kKeyDown;
    }
    event.altDown = leftAlt || rightAlt;
  }
  return true;
}

void QueueHeadlessInputStep(HeadlessBackend& backend, const HeadlessInputStep& step) {
  switch (step.kind) {
    case HeadlessInputStep::Kind::kEvent:
      backend.QueueEvent(step.event);
      break;
    case HeadlessInputStep::Kind::kTypedText:
      backend.QueueTypedText(step.utf8);
      break;
    case HeadlessInputStep::Kind::kComposition:
      backend.QueueComposition(step.utf8, step.cursor);
      break;
  }
}

}  // namespace bw::host
