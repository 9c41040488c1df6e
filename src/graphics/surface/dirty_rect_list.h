// The record of what drawing changed: pairwise disjoint rectangles in row order (by top, then
// left) with their bounding box. Nodes form a circular doubly linked ring and come from the one
// process-wide RectPool, so an add never allocates per rectangle.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "platform/rect.h"

namespace bw {

struct RectNode {
  Rect rect;
  RectNode* prev;
  RectNode* next;
};

// The process-wide node pool. It grows 256 nodes at a time and gives every node back to the
// heap once all of them are free again. Used from the drawing thread only.
class RectPool {
 public:
  static constexpr size_t kGrowBy = 256;

  static RectPool& Instance();
  ~RectPool();

  RectNode* Allocate();
  void Free(RectNode* node);
  size_t TotalAllocated() const { return total_; }
  size_t FreeCount() const { return free_.size(); }

 private:
  void Release();

  std::vector<std::unique_ptr<RectNode[]>> blocks_;  // kGrowBy nodes each
  std::vector<RectNode*> free_;
  size_t total_ = 0;
};

// Answers whether a and b meet; when they do and out is given, writes the intersection there
// (out may be a or b). An empty intersection leaves out unchanged.
bool IntersectRects(Rect* out, const Rect& a, const Rect& b);

class DirtyRectList {
 public:
  DirtyRectList() = default;
  virtual ~DirtyRectList();
  DirtyRectList(const DirtyRectList&) = delete;
  DirtyRectList& operator=(const DirtyRectList&) = delete;

  // Adds the part of rect not yet covered; an empty rectangle is ignored.
  void Add(const Rect& rect);
  // Joins neighbours of equal height side by side, then equal width stacked.
  void Coalesce();
  // Gives every node back to the pool; the list is empty and usable at once.
  void Clear();

  // Walk from Head() through next until back at Head().
  const RectNode* Head() const { return head_; }
  int Count() const { return count_; }
  const Rect& Bounds() const { return bounds_; }

 private:
  void InsertSorted(const Rect& r);
  void LinkBefore(RectNode* at, const Rect& r);
  void Remove(RectNode* node);
  // Keeps the part of node outside r: the band above stays in the node, the other pieces go
  // to pieces; a node without a band above is removed.
  void Carve(RectNode* node, const Rect& r, std::vector<Rect>& pieces);

  RectNode* head_ = nullptr;
  RectNode* cursor_ = nullptr;
  int count_ = 0;
  Rect bounds_;
};

}  // namespace bw
