#include "host/movie/movie_frame_converter.h"

#include <algorithm>
#include <utility>

extern "C" {
#include <libavutil/frame.h>
}

namespace bw::host {

namespace {

// A converted frame larger than this goes past the caches, which keep the decoder's pictures.
constexpr int64_t kCachedFrameBytes = int64_t{1} << 20;

YuvPlanes PlanesOf(const AVFrame* frame) {
  YuvPlanes planes;
  for (int i = 0; i < 3; ++i) {
    planes.data[i] = frame->data[i];
    planes.pitch[i] = frame->linesize[i];
  }
  return planes;
}

bool SameMemory(const MovieFrameMemory& a, const MovieFrameMemory& b) {
  return a.pixels == b.pixels && a.pitch == b.pitch && a.width == b.width && a.height == b.height &&
         a.format == b.format && a.generation == b.generation;
}

}  // namespace

MovieFrameConverter::~MovieFrameConverter() {
  av_frame_free(&last_);
}

bool MovieFrameConverter::Takes(const AVFrame* frame, const MovieFrameMemory& memory) {
  return frame->width == memory.width && frame->height == memory.height &&
         frame->format == AV_PIX_FMT_YUV420P && memory.format == MovieFrameFormat::kXrgb8888;
}

const RowSpan* MovieFrameConverter::RowsToConvert(int32_t index, const MovieFrameMemory& memory,
                                                  bool known) {
  const Held& held = held_[index];
  if (!known || held.conversion == 0 || !SameMemory(held.memory, memory)) return nullptr;
  if (held.conversion == conversions_) return changes_.data();
  if (held.conversion + 1 != conversions_ || lastChanges_.empty()) return nullptr;
  both_.resize(changes_.size());
  for (size_t row = 0; row < both_.size(); ++row) {
    both_[row] = changes_[row].Union(lastChanges_[row]);
  }
  return both_.data();
}

void MovieFrameConverter::FindChanges(const AVFrame* frame, const MovieFrameMemory& memory) {
  changes_.resize(static_cast<size_t>(memory.height));
  if (skipped_ > 0) {
    --skipped_;
    std::fill(changes_.begin(), changes_.end(), RowSpan{0, memory.width});
    return;
  }
  const int32_t changed = FindChangedRows(PlanesOf(frame), PlanesOf(last_), memory.width,
                                          memory.height, changes_.data());
  if (changed < memory.height) {
    nextSkip_ = 1;
    return;
  }
  skipped_ = nextSkip_;
  nextSkip_ = std::min(2 * nextSkip_, kMaxSkipped);
}

void MovieFrameConverter::Convert(const AVFrame* frame, int32_t index,
                                  const MovieFrameMemory& memory, bool keeps, bool compare) {
  const YuvPlanes planes = PlanesOf(frame);
  const bool known = compare && last_ && last_->data[0] && last_->width == frame->width &&
                     last_->height == frame->height && last_->format == frame->format;
  changes_.clear();
  if (known) FindChanges(frame, memory);
  ConvertYuv420Frame(planes, {memory.pixels, memory.pitch, memory.width, memory.height},
                     keeps ? RowsToConvert(index, memory, known) : nullptr,
                     int64_t{memory.pitch} * memory.height > kCachedFrameBytes);
  std::swap(lastChanges_, changes_);
  ++conversions_;
  held_[index] = keeps ? Held{conversions_, memory} : Held{};
  if (!compare) {
    av_frame_free(&last_);
    return;
  }
  if (!last_) last_ = av_frame_alloc();
  if (last_) {
    av_frame_unref(last_);
    if (av_frame_ref(last_, frame) != 0) av_frame_free(&last_);
  }
}

}  // namespace bw::host
