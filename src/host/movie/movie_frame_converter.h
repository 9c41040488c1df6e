// Converts a movie's 4:2:0 frames into the player's two frame buffers, which it fills in turn. A
// buffer that keeps its pixels holds one of the last two frames converted: it gets only the parts
// of rows that changed since, found by comparing each frame with the one converted just before it
// (the decoder has just read that one as its reference, so it is still in the caches).
#pragma once

#include <cstdint>
#include <vector>

#include "host/movie/movie_player.h"
#include "host/movie/yuv_frame.h"

struct AVFrame;
struct SwsContext;

namespace bw::host {

// The planes of a decoded 4:2:0 frame.
YuvPlanes PlanesOf(const AVFrame* frame);

class MovieFrameConverter {
 public:
  MovieFrameConverter() = default;
  ~MovieFrameConverter();
  MovieFrameConverter(const MovieFrameConverter&) = delete;
  MovieFrameConverter& operator=(const MovieFrameConverter&) = delete;

  // Whether frame goes this way into memory: 4:2:0 at the same size, into 32 bits.
  static bool Takes(const AVFrame* frame, const MovieFrameMemory& memory);
  // Converts frame (one Takes) into buffer index's memory. keeps: the buffer keeps its pixels;
  // compare: some buffer does, so frames are compared for the conversions that follow.
  void Convert(const AVFrame* frame, int32_t index, const MovieFrameMemory& memory, bool keeps,
               bool compare);
  // Buffer index no longer holds what this converted into it.
  void Forget(int32_t index) { held_[index] = {}; }

 private:
  struct Held {
    uint64_t conversion = 0;  // the number of the conversion the buffer holds, 0 for none
    MovieFrameMemory memory;
  };
  // The rows buffer index needs to show frame, whose changes from the last frame are in
  // changes_; null when every row must be converted.
  const RowSpan* RowsToConvert(int32_t index, const MovieFrameMemory& memory, bool known);
  // What frame changes from the last one, into changes_.
  void FindChanges(const AVFrame* frame, const MovieFrameMemory& memory);

  Held held_[2];
  uint64_t conversions_ = 0;
  AVFrame* last_ = nullptr;           // the frame of the last conversion
  std::vector<RowSpan> lastChanges_;  // what that one changed; empty when unknown
  std::vector<RowSpan> changes_;      // what this one changes from the last
  std::vector<RowSpan> both_;
  // A movie that changes every row of every frame (a filmed one) gains nothing from comparing,
  // which reads the last frame a little at each row end, scattered: after a comparison finds
  // every row changed, the next ones are taken as changed without comparing, for twice as many
  // frames each time, up to kMaxSkipped.
  static constexpr int32_t kMaxSkipped = 16;
  int32_t skipped_ = 0;  // comparisons still to skip
  int32_t nextSkip_ = 1;
  bool everyRowBefore_ = false;  // the last comparison found every row changed
};

// Scales frames of any other shape or size into the frame buffers through libswscale. A buffer
// that keeps its pixels and holds the scaling of an earlier frame gets again only the rows a
// change in the picture reaches: a still picture is not scaled again.
class MovieFrameScaler {
 public:
  MovieFrameScaler() = default;
  ~MovieFrameScaler();
  MovieFrameScaler(const MovieFrameScaler&) = delete;
  MovieFrameScaler& operator=(const MovieFrameScaler&) = delete;

  void Scale(const AVFrame* frame, int32_t index, const MovieFrameMemory& memory, bool keeps);
  // Buffer index no longer holds what this scaled into it.
  void Forget(int32_t index);

 private:
  struct Held {
    AVFrame* source = nullptr;  // the frame last scaled into the buffer
    MovieFrameMemory memory;
  };
  // The buffer's rows [*top, *bottom) that frame changes; false when all must be scaled.
  [[nodiscard]] bool ChangedRows(const AVFrame* frame, const Held& held,
                                 const MovieFrameMemory& memory, int32_t* top, int32_t* bottom);
  [[nodiscard]] bool ScaleRows(const AVFrame* frame, const MovieFrameMemory& memory, int32_t top,
                               int32_t bottom);
  void Hold(const AVFrame* frame, int32_t index, const MovieFrameMemory& memory);

  // What context_ was set up for: frame size and format, then buffer size and format.
  struct Shape {
    int32_t width = 0, height = 0, format = 0, toWidth = 0, toHeight = 0, toFormat = 0;
    bool operator==(const Shape&) const = default;
  };
  SwsContext* context_ = nullptr;
  Shape shape_;
  Held held_[2];
  std::vector<RowSpan> changes_;
};

}  // namespace bw::host
