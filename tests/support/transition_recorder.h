// A piece sink that records what the transitions ask to draw instead of drawing it.
#pragma once

#include <vector>

#include "effects/transitions/transition_frame.h"

namespace bw {

struct DrawnPiece {
  bool whole;
  int kind;
  TransitionPiece piece;
};

class RecordingSink : public PieceSink {
 public:
  int DrawWhole(TransitionFrame& f) override {
    drawn.push_back({true, f.kind, {}});
    return wholeResult;
  }
  void DrawPiece(TransitionFrame& f, const TransitionPiece& p) override {
    drawn.push_back({false, f.kind, p});
  }
  std::vector<DrawnPiece> drawn;
  int wholeResult = 0;
};

}  // namespace bw
