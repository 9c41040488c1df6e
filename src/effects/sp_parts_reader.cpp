#include "effects/sp_parts_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace bw {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view line) {
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  line.remove_prefix(i);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  return line;
}

// Splits text into its lines, the line ends left out.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

bool StartsWith(std::string_view line, std::string_view prefix) {
  return line.substr(0, prefix.size()) == prefix;
}

// A letter step: the letter followed by the end, a blank or a number.
bool IsLetterStep(std::string_view line, char letter) {
  if (line.empty() || line[0] != letter) return false;
  if (line.size() == 1) return true;
  const char next = line[1];
  return IsBlank(next) || next == '-' || next == '+' || next == ',' || next == '.' ||
         (next >= '0' && next <= '9');
}

char StepLetter(std::string_view line) {
  for (char letter : {'a', 'b', 'c', 'f', 'l', 's', 't'}) {
    if (IsLetterStep(line, letter)) return letter;
  }
  return 0;
}

// Reads the comma-separated values of a line: each may be left out (an empty field).
class Fields {
 public:
  explicit Fields(std::string_view text) : text_(text) {}

  bool Int(int32_t* out) {
    std::string field;
    if (!Next(&field)) return false;
    char* end = nullptr;
    const long long v = std::strtoll(field.c_str(), &end, 10);
    if (end == field.c_str()) return false;
    *out = static_cast<int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
    return true;
  }
  bool Decimal(double* out) {
    std::string field;
    if (!Next(&field)) return false;
    char* end = nullptr;
    const double v = std::strtod(field.c_str(), &end);
    if (end == field.c_str() || !std::isfinite(v)) return false;
    *out = v;
    return true;
  }

 private:
  // The next field, blanks trimmed; false at the end of the text.
  bool Next(std::string* field) {
    if (done_) return false;
    const size_t comma = text_.find(',');
    std::string_view f = text_.substr(0, comma);
    if (comma == std::string_view::npos) {
      done_ = true;
    } else {
      text_.remove_prefix(comma + 1);
    }
    while (!f.empty() && IsBlank(f.front())) f.remove_prefix(1);
    while (!f.empty() && IsBlank(f.back())) f.remove_suffix(1);
    // Numbers of at most a few dozen characters; anything longer is no number.
    field->assign(f.substr(0, 40));
    return true;
  }

  std::string_view text_;
  bool done_ = false;
};

std::string_view AfterLetter(std::string_view line) {
  return line.substr(1);
}

void ReadHeader(std::string_view line, PartsPart* part) {
  part->looping = line[0] == '$';
  line.remove_prefix(1);
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  size_t end = 0;
  while (end < line.size() && line[end] != ',' && !IsBlank(line[end])) ++end;
  part->image.assign(line.substr(0, end));
  line.remove_prefix(end);
  if (!part->looping) return;
  while (!line.empty() && (IsBlank(line.front()) || line.front() == ',')) line.remove_prefix(1);
  Fields fields(line);
  for (int i = 0; i < 6; ++i) part->given[i] = fields.Int(&part->loop[i]);
}

}  // namespace

int CountParts(std::string_view text, bool readHidden, std::vector<PartsPart>* parts) {
  parts->clear();
  bool inHidden = false;
  bool skipToHeader = false;
  for (std::string_view raw : Lines(text)) {
    const std::string_view line = TrimLeft(raw);
    if (line.empty() || StartsWith(line, "//")) continue;
    if (StartsWith(line, "#s")) {
      inHidden = !readHidden;
      continue;
    }
    if (StartsWith(line, "#e")) {
      inHidden = false;
      continue;
    }
    if (inHidden) continue;
    if (StartsWith(line, "#n")) {
      skipToHeader = true;
      continue;
    }
    if (line[0] == '*' || line[0] == '$') {
      skipToHeader = false;
      PartsPart& part = parts->emplace_back();
      ReadHeader(line, &part);
      continue;
    }
    if (skipToHeader) continue;
    const char letter = StepLetter(line);
    if (parts->empty()) return letter != 0 ? kPartsStepBeforeHeader : kPartsKeyFrameBeforeHeader;
    PartsPart& part = parts->back();
    if (part.looping) continue;
    part.lines.push_back(line);
    if (letter == 'l') continue;
    ++part.stepCount;
    if (letter == 0) ++part.keyFrames;
  }
  if (parts->empty()) return kPartsNoPart;
  for (const PartsPart& part : *parts) {
    if (!part.looping && part.keyFrames == 0) return kPartsNoKeyFrame;
  }
  return kPartsRead;
}

int FillPart(PartsPart& part, const PartImageInfo& image, int32_t offsetX, int32_t offsetY) {
  part.steps.clear();
  part.centreX = image.width / 2;
  part.centreY = image.height / 2;
  PartsStep previous;
  previous.x = image.anchorX + offsetX;
  previous.y = image.anchorY + offsetY;
  previous.value = 255;
  int32_t lineValues[4] = {0, 0, 0, 0};
  int32_t time = kPartsDefaultTimeMs;
  int32_t keyIndex = 0;
  std::vector<PartsStep> steps;
  steps.reserve(static_cast<size_t>(part.stepCount));
  for (std::string_view line : part.lines) {
    // The counting pass fixed the table's size: never write past it.
    if (steps.size() >= static_cast<size_t>(part.stepCount) && StepLetter(line) != 'l')
      return kPartsStepBeforeHeader;
    PartsStep step;
    Fields fields(AfterLetter(line));
    switch (StepLetter(line)) {
      case 'a':
        step.kind = kStepEase;
        if (fields.Decimal(&step.zoom)) step.value = 1;
        break;
      case 'b':
        step.kind = kStepBack;
        part.motionMode = 2;
        break;
      case 'c':
        step.kind = kStepCentre;
        step.x = part.centreX;
        step.y = part.centreY;
        fields.Int(&step.x);
        fields.Int(&step.y);
        break;
      case 'f':
        step.kind = kStepFront;
        part.motionMode = 1;
        break;
      case 'l':
        for (int32_t& v : lineValues) {
          v = 0;
          fields.Int(&v);
        }
        continue;
      case 's': {
        int32_t n = 1;
        fields.Int(&n);
        step.kind = n == 0 ? kStepSmoothOff : kStepSmoothOn;
        if (n != 0) part.show = true;
        break;
      }
      case 't':
        step.kind = kStepTime;
        if (!fields.Int(&step.x)) return kPartsTimeMissing;
        if (step.x == 0) return kPartsTimeZero;
        time = step.x;
        break;
      default: {
        if (keyIndex == 0 && !steps.empty()) return kPartsFirstNotKeyFrame;
        Fields values(line);
        step = previous;
        step.kind = kStepKeyFrame;
        values.Int(&step.x);
        values.Int(&step.y);
        int32_t opacity = previous.value;
        if (values.Int(&opacity)) step.value = static_cast<uint8_t>(std::clamp(opacity, 0, 255));
        if (values.Decimal(&step.zoom)) {
          if (step.zoom == 0.0) step.zoom = 1.0;
          part.zoomUsed = true;
          part.largestZoom = std::max(part.largestZoom, std::fabs(step.zoom));
        }
        if (values.Decimal(&step.rotation)) part.rotationUsed = true;
        std::copy(std::begin(lineValues), std::end(lineValues), step.lineValues);
        std::fill(std::begin(lineValues), std::end(lineValues), 0);
        step.keyIndex = keyIndex++;
        if (step.keyIndex == 0) part.first = step;
        // The first key frame is the start state and takes no time.
        if (step.keyIndex > 0)
          part.totalMs =
              static_cast<int32_t>(std::min<int64_t>(int64_t{part.totalMs} + time, INT32_MAX));
        previous = step;
        break;
      }
    }
    steps.push_back(step);
  }
  // Fewer than two steps make a part that stands still.
  if (steps.size() >= 2) part.steps = std::move(steps);
  return kPartsRead;
}

}  // namespace bw
