#include "effects/motion_path.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>

#include "effects/arg_cursor.h"
#include "effects/natural_spline.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "platform/rect.h"

namespace bw {

namespace {

// What the letters measure against: the area (W, H), the object (w, h) and where it stands.
struct PathTarget {
  bool sprite = false;
  int32_t areaW = 0, areaH = 0;
  int32_t w = 0, h = 0;
  int32_t cx = 0, cy = 0;
};

int FindTarget(const Sprite* sprite, const CompositionLayer* layer, PathTarget* target) {
  if (layer == nullptr || layer->GetTarget() == nullptr) return kPathNoTarget;
  target->areaW = layer->GetTarget()->GetWidth();
  target->areaH = layer->GetTarget()->GetHeight();
  if (sprite != nullptr) {
    target->sprite = true;
    target->w = sprite->GetWidth();
    target->h = sprite->GetHeight();
    target->cx = sprite->GetX();
    target->cy = sprite->GetY();
    return kPathParsed;
  }
  if (layer->IsTransformed()) return kPathLayerTransformed;
  ImageSurface* picture = nullptr;
  layer->GetBackground(&picture, &target->cx, &target->cy, nullptr, nullptr, nullptr);
  if (picture == nullptr) return kPathLayerNoPicture;
  target->w = picture->GetWidth();
  target->h = picture->GetHeight();
  return kPathParsed;
}

constexpr char kPathCharacters[] = " \t0123456789lrcudiPpZROtAFBSNMLoz!<>-+][_^$%,.";

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads a path text into records, the start state first.
class PathReader {
 public:
  PathReader(const PathTarget& target, std::vector<PathRecord>& out) : t_(target), out_(out) {}

  int Read(const char* text) {
    PathRecord start;
    start.x = t_.cx;
    start.y = t_.cy;
    out_.push_back(start);
    last_ = start;
    p_ = text;
    while (*p_ != '\0') {
      const char c = *p_;
      if (c == ' ' || c == '\t') {
        Flush();
        ++p_;
      } else if (IsDigit(c)) {
        // The letters take their own numbers: a digit here is a duration of its own.
        PathRecord duration = Other(kPathDuration);
        (void)ParseSignedInt(&p_, &duration.x);  // a digit is next, so it reads
        Push(duration);
      } else if (int rc = ReadLetter(c); rc != kPathParsed) {
        return rc;
      }
    }
    Flush();
    return out_.size() > 1 ? kPathParsed : kPathEmpty;
  }

  int32_t originX = 0, originY = 0;

 private:
  PathRecord Other(PathRecordKind kind) const {
    PathRecord r;
    r.kind = kind;
    r.value = 0;
    return r;
  }
  int32_t Count() { return OptionalInt(1); }
  int32_t OptionalInt(int32_t fallback) {
    int32_t n = fallback;
    // A word that does not read keeps the default.
    (void)ParseSignedInt(&p_, &n);
    return n;
  }
  double OptionalDecimal(double fallback) {
    double v = fallback;
    // A word that does not read keeps the default.
    (void)ParseSignedDecimal(&p_, &v);
    return v;
  }
  // An optional "x", then an optional ",y".
  bool ReadPair(int32_t* x, int32_t* y) {
    const bool hasX = ParseSignedInt(&p_, x);
    bool hasY = false;
    if (*p_ == ',') {
      ++p_;
      hasY = ParseSignedInt(&p_, y);
    }
    return hasX || hasY;
  }
  PathRecord& Pending() {
    if (!pending_) {
      cur_ = last_;
      cur_.value = -1;
      cur_.swingX = cur_.swingY = cur_.shiftX = cur_.shiftY = 0;
      pending_ = true;
    }
    return cur_;
  }
  void Flush() {
    if (!pending_) return;
    pending_ = false;
    cur_.positionIndex = last_.positionIndex + 1;
    out_.push_back(cur_);
    last_ = cur_;
  }
  void Push(const PathRecord& r) {
    Flush();
    out_.push_back(r);
  }

  int ReadLetter(char c) {
    ++p_;
    if (ReadPositionLetter(c)) return kPathParsed;
    switch (c) {
      case 't': {
        PathRecord r = Other(kPathRandomDuration);
        while (*p_ == ' ' || *p_ == '\t') ++p_;
        int32_t a = 0, b = 0;
        if (!ParseSignedInt(&p_, &a) || *p_ != ',') return kPathNumberMissing;
        ++p_;
        // b below a would give no durations to choose from.
        if (!ParseSignedInt(&p_, &b) || b < a) return kPathNumberMissing;
        r.x = a;
        r.y = static_cast<int32_t>(std::min<int64_t>(int64_t{b} - a + 1, INT32_MAX));
        Push(r);
        return kPathParsed;
      }
      case 'A': {
        PathRecord r = Other(kPathEase);
        if (ParseSignedDecimal(&p_, &r.rotation)) r.value = 1;
        Push(r);
        return kPathParsed;
      }
      case 'F':
      case 'B':
        Push(Other(c == 'F' ? kPathFront : kPathBack));
        return kPathParsed;
      case 'S':
      case 'N':
        Push(Other(c == 'S' ? kPathSmoothOn : kPathSmoothOff));
        return kPathParsed;
      case 'M':
      case 'L': {
        PathRecord r = Other(c == 'M' ? kPathMoveStep : kPathSwingStep);
        r.x = OptionalInt(c == 'M' ? kPathDefaultMoveStep : kPathDefaultSwingStep);
        (c == 'M' ? moveStep_ : swingStep_) = r.x;
        Push(r);
        return kPathParsed;
      }
      case 'o':
      case 'z': {
        int32_t x = 0, y = 0;
        if (c == 'o') {
          ReadPair(&x, &y);
          originX = ClampedSum(originX, x);
          originY = ClampedSum(originY, y);
        } else {
          x = originX;
          y = originY;
          const bool given = ReadPair(&x, &y);
          originX = given ? x : t_.w >> 1;
          originY = given ? y : t_.h >> 1;
        }
        PathRecord r = Other(kPathOrigin);
        r.x = originX;
        r.y = originY;
        Push(r);
        return kPathParsed;
      }
      default:
        return kPathBadCharacter;
    }
  }

  bool ReadPositionLetter(char c) {
    const bool sprite = t_.sprite;
    switch (c) {
      case 'l':
        Pending().x = sprite ? ClampedSum(t_.cx, -(t_.areaW >> 2)) : 0;
        if (sprite) cur_.y = t_.cy;
        return true;
      case 'r':
        Pending().x = sprite ? ClampedSum(t_.cx, t_.areaW >> 2) : t_.w - t_.areaW;
        if (sprite) cur_.y = t_.cy;
        return true;
      case 'c':
        Pending().x = sprite ? t_.cx : (t_.w - t_.areaW) >> 1;
        cur_.y = sprite ? t_.cy : (t_.h - t_.areaH) >> 1;
        return true;
      case 'u':
        Pending().y = 0;
        return true;
      case 'd':
        Pending().y = sprite ? t_.areaH - t_.h : t_.h - t_.areaH;
        return true;
      case 'i':
        Pending().y = (t_.areaH - t_.h) >> 1;
        return true;
      case '!':
        ReadOutside();
        return true;
      case '<':
      case '>':
      case '-':
      case '+': {
        const int64_t step = int64_t{Count()} * moveStep_;
        PathRecord& r = Pending();
        int32_t& coordinate = c == '<' || c == '>' ? r.x : r.y;
        coordinate = ClampedSum(coordinate, c == '<' || c == '-' ? -step : step);
        return true;
      }
      case ']':
      case '[':
      case '$':
      case '_':
      case '^':
      case '%': {
        const int64_t n = Count();
        const bool across = c == ']' || c == '[' || c == '$';
        PathRecord& r = Pending();
        int32_t& amplitude = across ? r.swingX : r.swingY;
        int32_t& shift = across ? r.shiftX : r.shiftY;
        amplitude = ClampedSum(amplitude, n * swingStep_);
        if (c == '[' || c == '^') shift = ClampedSum(shift, -n * swingStep_);
        if (c == '$' || c == '%') shift = ClampedSum(shift, -n * (swingStep_ >> 1));
        return true;
      }
      case 'P':
      case 'p': {
        PathRecord& r = Pending();
        int32_t x = c == 'P' ? r.x : ClampedSum(r.x, -int64_t{t_.cx});
        int32_t y = c == 'P' ? r.y : ClampedSum(r.y, -int64_t{t_.cy});
        ReadPair(&x, &y);
        r.x = c == 'P' ? x : ClampedSum(t_.cx, x);
        r.y = c == 'P' ? y : ClampedSum(t_.cy, y);
        return true;
      }
      case 'Z':
        Pending().zoom = OptionalDecimal(1.0);
        return true;
      case 'R':
        Pending().rotation = OptionalDecimal(0.0);
        return true;
      case 'O':
        Pending().value = static_cast<int16_t>(std::clamp(Count(), 0, 255));
        return true;
      default:
        return false;
    }
  }

  void ReadOutside() {
    PathRecord& r = Pending();
    switch (*p_) {
      case 'l':
        r.x = -t_.w;
        r.y = t_.cy;
        break;
      case 'r':
      case 'i':
        r.x = t_.areaW;
        r.y = t_.cy;
        break;
      case 'c':
        r.x = t_.cx;
        r.y = t_.areaH;
        break;
      case 'u':
        r.y = -t_.h;
        break;
      default:
        // "!d", and "!" before anything else, which is read next.
        r.y = t_.areaH;
        if (*p_ != 'd') return;
    }
    ++p_;
  }

  const PathTarget& t_;
  std::vector<PathRecord>& out_;
  const char* p_ = nullptr;
  PathRecord last_;
  PathRecord cur_;
  bool pending_ = false;
  int32_t moveStep_ = kPathDefaultMoveStep;
  int32_t swingStep_ = kPathDefaultSwingStep;
};

bool KnownCharacters(const char* text) {
  for (const char* p = text; *p != '\0'; ++p) {
    if (std::strchr(kPathCharacters, *p) == nullptr) return false;
  }
  return true;
}

}  // namespace

int32_t SwingOffset(int32_t amplitude, int32_t shift, double p) {
  // In 64 bits: a script's amplitude and shift may reach either end of an int.
  const int64_t a = amplitude, s = shift;
  const int64_t o = TruncateToInt32(2.0 * amplitude * p);
  int64_t offset = o + 2 * s;
  if (s == 0) {
    offset = o <= a ? o : 2 * a - o;
  } else if (o > -2 * s) {
    offset = offset > s + a ? 2 * (s + a) - offset : offset;
  } else if (o <= -s) {
    offset = -o;
  }
  return ClampedSum(offset, 0);
}

int MotionPath::Parse(const char* text, const Sprite* sprite, const CompositionLayer* layer) {
  Clear();
  PathTarget target;
  if (text == nullptr) return kPathNoTarget;
  if (int rc = FindTarget(sprite, layer, &target); rc != kPathParsed) return rc;
  if (!KnownCharacters(text)) return kPathBadCharacter;
  std::vector<PathRecord> records;
  PathReader reader(target, records);
  if (int rc = reader.Read(text); rc != kPathParsed) return rc;
  records_ = std::move(records);
  originX_ = reader.originX;
  originY_ = reader.originY;
  Index();
  const bool smooth = std::any_of(records_.begin(), records_.end(),
                                  [](const PathRecord& r) { return r.kind == kPathSmoothOn; });
  if (smooth && PositionCount() >= 3) BuildSpline(PositionCount());
  return kPathParsed;
}

void MotionPath::Index() {
  positions_.clear();
  orderMode_ = 0;
  totalTime_ = 0;
  int32_t duration = kPathDefaultDurationMs;
  for (size_t i = 0; i < records_.size(); ++i) {
    const PathRecord& r = records_[i];
    switch (r.kind) {
      case kPathPosition:
        if (!positions_.empty()) totalTime_ = ClampedSum(totalTime_, duration);
        positions_.push_back(i);
        break;
      case kPathDuration:
      case kPathRandomDuration:
        duration = r.x;
        break;
      case kPathFront:
        orderMode_ = 1;
        break;
      case kPathBack:
        orderMode_ = 2;
        break;
      default:
        break;
    }
  }
}

void MotionPath::Clear() {
  records_.clear();
  positions_.clear();
  pointsX_.clear();
  pointsY_.clear();
  splineX_.clear();
  splineY_.clear();
  originX_ = originY_ = 0;
  orderMode_ = 0;
  totalTime_ = 0;
}

int MotionPath::SetRecords(std::vector<PathRecord> records, int32_t positionCount, bool smooth) {
  if (records.size() < 2) return kPathRecordsRefused;
  Clear();
  records_ = std::move(records);
  Index();
  if (smooth && positionCount >= 3) BuildSpline(positionCount);
  return kPathParsed;
}

void MotionPath::BuildSpline(int32_t positionCount) {
  const size_t n = std::min(static_cast<size_t>(std::max(positionCount, 0)), positions_.size());
  pointsX_.resize(n);
  pointsY_.resize(n);
  for (size_t i = 0; i < n; ++i) {
    pointsX_[i] = records_[positions_[i]].x;
    pointsY_[i] = records_[positions_[i]].y;
  }
  splineX_ = NaturalSplineTerms(pointsX_);
  splineY_ = NaturalSplineTerms(pointsY_);
}

void MotionPath::EvaluateLinear(int32_t i, double t, int32_t* x, int32_t* y) const {
  const PathRecord& a = Position(i);
  const PathRecord& b = Position(i + 1);
  // In doubles, which hold every int exactly: a span may be wider than an int.
  *x = ClampedSum(TruncateToInt32(a.x + std::trunc((double(b.x) - a.x) * t)),
                  SwingOffset(b.swingX, b.shiftX, t));
  *y = ClampedSum(TruncateToInt32(a.y + std::trunc((double(b.y) - a.y) * t)),
                  SwingOffset(b.swingY, b.shiftY, t));
}

void MotionPath::EvaluateCubic(int32_t i, double t, int32_t* x, int32_t* y) const {
  if (static_cast<size_t>(i) + 1 >= splineX_.size()) {
    EvaluateLinear(i, t, x, y);
    return;
  }
  const PathRecord& b = Position(i + 1);
  const auto segment = static_cast<size_t>(i);
  *x = ClampedSum(TruncateToInt32(EvaluateNaturalSpline(pointsX_, splineX_, segment, t)),
                  SwingOffset(b.swingX, b.shiftX, t));
  *y = ClampedSum(TruncateToInt32(EvaluateNaturalSpline(pointsY_, splineY_, segment, t)),
                  SwingOffset(b.swingY, b.shiftY, t));
}

int ReadPathEndState(const char* text, int32_t* x, int32_t* y, const Sprite* sprite,
                     const CompositionLayer* layer, int32_t* opacity, int32_t* order, double* zoom,
                     double* rotation, int32_t* originX, int32_t* originY) {
  if (text == nullptr) return kPathNoTarget;
  PathTarget target;
  if (int rc = FindTarget(sprite, layer, &target); rc != kPathParsed) return rc;
  std::vector<PathRecord> records;
  PathReader reader(target, records);
  const int rc = reader.Read(text);
  if (rc == kPathNumberMissing || rc == kPathBadCharacter) return kPathEndNumberMissing;
  PathRecord end = records.front();
  int32_t endOpacity = 255;
  int32_t endOrder = 0;
  for (const PathRecord& r : records) {
    if (r.kind == kPathPosition) {
      end = r;
      if (r.value >= 0) endOpacity = r.value;
    } else if (r.kind == kPathFront || r.kind == kPathBack) {
      endOrder = r.kind == kPathFront ? 1 : 2;
    }
  }
  if (x) *x = end.x;
  if (y) *y = end.y;
  if (opacity) *opacity = endOpacity;
  if (order) *order = endOrder;
  if (zoom) *zoom = end.zoom;
  if (rotation) *rotation = end.rotation;
  if (originX) *originX = reader.originX;
  if (originY) *originY = reader.originY;
  return kPathParsed;
}

}  // namespace bw
