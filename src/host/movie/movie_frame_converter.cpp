#include "host/movie/movie_frame_converter.h"

#include <algorithm>
#include <utility>

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace bw::host {

namespace {

// Converting more than this goes past the caches, which keep the decoder's pictures. A frame up
// to 720p is written through them: it is drawn right after, and a 720p frame streamed to memory
// and then read back costs about a third more than one written and read through the caches.
constexpr int64_t kCachedFrameBytes = int64_t{4} << 20;

bool SameMemory(const MovieFrameMemory& a, const MovieFrameMemory& b) {
  return a.pixels == b.pixels && a.pitch == b.pitch && a.width == b.width && a.height == b.height &&
         a.format == b.format && a.generation == b.generation;
}

AVPixelFormat PixelFormatOf(MovieFrameFormat format) {
  switch (format) {
    case MovieFrameFormat::kRgb555:
      return AV_PIX_FMT_RGB555LE;
    case MovieFrameFormat::kRgb565:
      return AV_PIX_FMT_RGB565LE;
    case MovieFrameFormat::kRgb888:
      return AV_PIX_FMT_BGR24;
    case MovieFrameFormat::kXrgb8888:
      return AV_PIX_FMT_BGR0;
  }
  return AV_PIX_FMT_BGR0;
}

// What converting rows (all of them when null) writes into memory.
int64_t BytesWritten(const RowSpan* rows, const MovieFrameMemory& memory) {
  if (!rows) return int64_t{memory.pitch} * memory.height;
  int64_t pixels = 0;
  for (int32_t row = 0; row < memory.height; ++row)
    pixels += std::max(0, rows[row].last - rows[row].first);
  return pixels * 4;
}

// The memory stays the buffer's: the frame that wraps it for the scaler frees nothing.
void KeepMemory(void*, uint8_t*) {}

}  // namespace

YuvPlanes PlanesOf(const AVFrame* frame) {
  YuvPlanes planes;
  for (int i = 0; i < 3; ++i) {
    planes.data[i] = frame->data[i];
    planes.pitch[i] = frame->linesize[i];
  }
  return planes;
}

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
    everyRowBefore_ = false;
    return;
  }
  // One frame that changes every row is a cut; only the second in a row starts the skipping.
  if (!everyRowBefore_) {
    everyRowBefore_ = true;
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
  const RowSpan* rows = keeps ? RowsToConvert(index, memory, known) : nullptr;
  ConvertYuv420Frame(planes, {memory.pixels, memory.pitch, memory.width, memory.height}, rows,
                     BytesWritten(rows, memory) > kCachedFrameBytes);
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

MovieFrameScaler::~MovieFrameScaler() {
  Forget(0);
  Forget(1);
  sws_freeContext(context_);
}

void MovieFrameScaler::Forget(int32_t index) {
  av_frame_free(&held_[index].source);
  held_[index] = {};
}

void MovieFrameScaler::Scale(const AVFrame* frame, int32_t index, const MovieFrameMemory& memory,
                             bool keeps) {
  int32_t top = 0, bottom = memory.height;
  if (keeps && !ChangedRows(frame, held_[index], memory, &top, &bottom)) {
    top = 0;
    bottom = memory.height;
  }
  if (top < bottom && !ScaleRows(frame, memory, top, bottom)) {
    Forget(index);
    return;
  }
  if (keeps) {
    Hold(frame, index, memory);
  } else {
    Forget(index);
  }
}

bool MovieFrameScaler::ChangedRows(const AVFrame* frame, const Held& held,
                                   const MovieFrameMemory& memory, int32_t* top, int32_t* bottom) {
  const AVFrame* before = held.source;
  if (!before || !SameMemory(held.memory, memory) || frame->format != AV_PIX_FMT_YUV420P ||
      before->format != frame->format || before->width != frame->width ||
      before->height != frame->height) {
    return false;
  }
  changes_.resize(static_cast<size_t>(frame->height));
  FindChangedRows(PlanesOf(frame), PlanesOf(before), frame->width, frame->height, changes_.data());
  int32_t first = frame->height, last = 0;
  for (int32_t row = 0; row < frame->height; ++row) {
    if (changes_[static_cast<size_t>(row)].Empty()) continue;
    first = std::min(first, row);
    last = row + 1;
  }
  if (first >= last) {
    *top = *bottom = 0;
    return true;
  }
  // A scaled row reads the picture's rows about its own place, more of them when it shrinks.
  const int64_t from = frame->height, to = memory.height;
  const int64_t reach = 4 + 2 * ((from + to - 1) / to);
  *top = static_cast<int32_t>(std::max<int64_t>(0, (first - reach) * to / from));
  *bottom = static_cast<int32_t>(std::min<int64_t>(to, ((last + reach) * to + from - 1) / from));
  return true;
}

bool MovieFrameScaler::ScaleRows(const AVFrame* frame, const MovieFrameMemory& memory, int32_t top,
                                 int32_t bottom) {
  // Without scaling the cheapest filter gives the same pixels.
  const bool same = frame->width == memory.width && frame->height == memory.height;
  const AVPixelFormat format = PixelFormatOf(memory.format);
  // libswscale's own cache compares with the formats it rewrites on setting up (32-bit pixels
  // without alpha become pixels with alpha), so it would set up again for every frame.
  const Shape shape{frame->width, frame->height, frame->format,
                    memory.width, memory.height, format};
  if (!context_ || shape_ != shape) {
    sws_freeContext(context_);
    context_ = sws_getContext(
        frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), memory.width,
        memory.height, format, same ? SWS_POINT : SWS_BILINEAR, nullptr, nullptr, nullptr);
    shape_ = shape;
  }
  if (!context_) return false;
  if (top == 0 && bottom == memory.height) {
    uint8_t* planes[4] = {memory.pixels, nullptr, nullptr, nullptr};
    int pitches[4] = {memory.pitch, 0, 0, 0};
    return sws_scale(context_, frame->data, frame->linesize, 0, frame->height, planes, pitches) > 0;
  }
  const int32_t align = std::max(1, static_cast<int32_t>(sws_receive_slice_alignment(context_)));
  top -= top % align;
  bottom = std::min(memory.height, (bottom + align - 1) / align * align);
  AVFrame* out = av_frame_alloc();
  if (!out) return false;
  out->format = format;
  out->width = memory.width;
  out->height = memory.height;
  out->data[0] = memory.pixels;
  out->linesize[0] = memory.pitch;
  out->buf[0] = av_buffer_create(memory.pixels, static_cast<size_t>(memory.pitch) * memory.height,
                                 KeepMemory, nullptr, 0);
  bool done = out->buf[0] && sws_frame_start(context_, out, frame) >= 0;
  if (done) {
    done = sws_send_slice(context_, 0, static_cast<unsigned>(frame->height)) >= 0 &&
           sws_receive_slice(context_, static_cast<unsigned>(top),
                             static_cast<unsigned>(bottom - top)) >= 0;
    sws_frame_end(context_);
  }
  av_frame_free(&out);
  return done;
}

void MovieFrameScaler::Hold(const AVFrame* frame, int32_t index, const MovieFrameMemory& memory) {
  Held& held = held_[index];
  if (!held.source) held.source = av_frame_alloc();
  if (!held.source) return;
  av_frame_unref(held.source);
  if (av_frame_ref(held.source, frame) != 0) {
    Forget(index);
    return;
  }
  held.memory = memory;
}

}  // namespace bw::host
