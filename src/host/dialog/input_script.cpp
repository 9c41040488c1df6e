#include "host/dialog/input_script.h"

#include <SDL.h>

#include <utility>

namespace bw::host {

namespace {

constexpr int kMaxWaitFrames = 100000;

bool ParseFrames(std::string_view text, int* frames) {
  if (text.empty() || text.size() > 6) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > kMaxWaitFrames) return false;
  *frames = value;
  return true;
}

bool ParseStep(std::string_view item, InputStep* step, std::string* error) {
  if (item == "close") {
    step->kind = InputStep::Kind::kClose;
    return true;
  }
  if (item == "screen:full" || item == "screen:window") {
    step->kind = InputStep::Kind::kScreen;
    step->fullScreen = item == "screen:full";
    return true;
  }
  if (item.starts_with("wait:")) {
    step->kind = InputStep::Kind::kWait;
    if (ParseFrames(item.substr(5), &step->frames)) return true;
    *error = "wait needs a count of frames from 1 to 100000: " + std::string(item);
    return false;
  }
  if (item.starts_with("key:")) {
    step->kind = InputStep::Kind::kKey;
    std::string_view rest = item.substr(4);
    for (;;) {
      size_t plus = rest.find('+', 1);
      std::string name(rest.substr(0, plus));
      if (plus == std::string_view::npos) {
        SDL_Scancode key = SDL_GetScancodeFromName(name.c_str());
        if (key == SDL_SCANCODE_UNKNOWN) break;
        step->keys.push_back(key);
        return true;
      }
      if (name == "Shift") {
        step->keys.push_back(SDL_SCANCODE_LSHIFT);
      } else if (name == "Ctrl") {
        step->keys.push_back(SDL_SCANCODE_LCTRL);
      } else if (name == "Alt") {
        step->keys.push_back(SDL_SCANCODE_LALT);
      } else {
        break;
      }
      rest.remove_prefix(plus + 1);
    }
    *error = "key needs Shift+, Ctrl+ or Alt+ and a key SDL knows by name: " + std::string(item);
    return false;
  }
  for (const auto& [prefix, kind] :
       {std::pair{std::string_view("click:"), InputStep::Kind::kClick},
        std::pair{std::string_view("see:"), InputStep::Kind::kSee},
        std::pair{std::string_view("appear:"), InputStep::Kind::kAppear}}) {
    if (!item.starts_with(prefix)) continue;
    step->kind = kind;
    step->label = std::string(item.substr(prefix.size()));
    if (!step->label.empty()) return true;
    *error = std::string(prefix) + " needs the label of an item";
    return false;
  }
  *error = "unknown input step: " + std::string(item);
  return false;
}

}  // namespace

bool ParseInputScript(std::string_view text, std::vector<InputStep>* steps, std::string* error) {
  std::vector<InputStep> parsed;
  std::string reason;
  for (;;) {
    size_t comma = text.find(',');
    InputStep step;
    if (!ParseStep(text.substr(0, comma), &step, &reason)) {
      if (error) *error = reason;
      return false;
    }
    parsed.push_back(std::move(step));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  *steps = std::move(parsed);
  return true;
}

std::string DescribeInputStep(const InputStep& step) {
  switch (step.kind) {
    case InputStep::Kind::kWait:
      return "wait:" + std::to_string(step.frames);
    case InputStep::Kind::kClick:
      return "click:" + step.label;
    case InputStep::Kind::kSee:
      return "see:" + step.label;
    case InputStep::Kind::kAppear:
      return "appear:" + step.label;
    case InputStep::Kind::kClose:
      return "close";
    case InputStep::Kind::kScreen:
      return step.fullScreen ? "screen:full" : "screen:window";
    case InputStep::Kind::kKey: {
      std::string text = "key:";
      for (size_t i = 0; i < step.keys.size(); ++i) {
        if (i > 0) text += '+';
        text += SDL_GetScancodeName(static_cast<SDL_Scancode>(step.keys[i]));
      }
      return text;
    }
  }
  return {};
}

}  // namespace bw::host
