#include "graphics/surface/dirty_rect_list.h"

#include <algorithm>

namespace bw {
namespace {

bool SameRows(const Rect& a, const Rect& b) {
  return a.top == b.top && a.bottom == b.bottom;
}

bool Contains(const Rect& outer, const Rect& inner) {
  return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
         outer.bottom >= inner.bottom;
}

bool Overlaps(const Rect& a, const Rect& b) {
  return a.left < b.right && a.right > b.left && a.top < b.bottom && a.bottom > b.top;
}

void Widen(Rect& box, const Rect& r) {
  box.left = std::min(box.left, r.left);
  box.top = std::min(box.top, r.top);
  box.right = std::max(box.right, r.right);
  box.bottom = std::max(box.bottom, r.bottom);
}

// Row order: by top, then by left.
bool Before(const Rect& a, const Rect& b) {
  return a.top < b.top || (a.top == b.top && a.left < b.left);
}

}  // namespace

RectPool& RectPool::Instance() {
  static RectPool pool;
  return pool;
}

RectPool::~RectPool() {
  Release();
}

RectNode* RectPool::Allocate() {
  if (free_.empty()) {
    blocks_.push_back(std::make_unique<RectNode[]>(kGrowBy));
    free_.reserve(free_.size() + kGrowBy);
    for (size_t i = 0; i < kGrowBy; ++i) free_.push_back(&blocks_.back()[i]);
    total_ += kGrowBy;
  }
  RectNode* node = free_.back();
  free_.pop_back();
  return node;
}

void RectPool::Free(RectNode* node) {
  free_.push_back(node);
  if (free_.size() == total_) Release();
}

void RectPool::Release() {
  free_.clear();
  free_.shrink_to_fit();
  blocks_.clear();
  total_ = 0;
}

bool IntersectRects(Rect* out, const Rect& a, const Rect& b) {
  Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (r.right <= r.left || r.bottom <= r.top) return false;
  if (out) *out = r;
  return true;
}

DirtyRectList::~DirtyRectList() {
  Clear();
}

void DirtyRectList::Clear() {
  RectPool& pool = RectPool::Instance();
  for (int i = 0; i < count_; ++i) {
    RectNode* next = head_->next;
    pool.Free(head_);
    head_ = next;
  }
  head_ = cursor_ = nullptr;
  count_ = 0;
  bounds_ = Rect{};
}

void DirtyRectList::LinkBefore(RectNode* at, const Rect& r) {
  RectNode* node = RectPool::Instance().Allocate();
  node->rect = r;
  node->next = at;
  node->prev = at->prev;
  at->prev->next = node;
  at->prev = node;
  ++count_;
}

void DirtyRectList::Remove(RectNode* node) {
  if (--count_ == 0) {
    head_ = cursor_ = nullptr;
  } else {
    node->prev->next = node->next;
    node->next->prev = node->prev;
    if (node == head_) head_ = node->next;
    if (node == cursor_) cursor_ = node->prev;
  }
  RectPool::Instance().Free(node);
}

void DirtyRectList::InsertSorted(const Rect& r) {
  if (!head_) {
    RectNode* node = RectPool::Instance().Allocate();
    node->rect = r;
    node->prev = node->next = node;
    head_ = cursor_ = node;
    count_ = 1;
    return;
  }
  if (!Before(r, cursor_->rect)) {
    // Forward from the cursor to the first node that belongs after r.
    RectNode* at = cursor_->next;
    while (at != head_ && !Before(r, at->rect)) at = at->next;
    RectNode* before = at->prev;
    cursor_ = before;
    if (at == head_) {  // r belongs at the end
      if (SameRows(before->rect, r) && before->rect.right == r.left) {
        before->rect.right = r.right;
      } else {
        LinkBefore(head_, r);
      }
      return;
    }
    if (SameRows(at->rect, r) && at->rect.left == r.right) {
      at->rect.left = r.left;
      if (SameRows(before->rect, r) && before->rect.right == r.left) {
        at->rect.left = before->rect.left;
        Remove(before);
      }
      return;
    }
    LinkBefore(at, r);
    return;
  }
  // Backward: r goes before the cursor; move back while the previous node also belongs after r.
  RectNode* at = cursor_;
  while (at != head_ && !Before(at->prev->rect, r)) at = at->prev;
  cursor_ = at;
  if (SameRows(at->rect, r) && at->rect.left == r.right) {
    at->rect.left = r.left;
    return;
  }
  LinkBefore(at, r);
  if (at == head_) head_ = at->prev;
}

void DirtyRectList::Carve(RectNode* node, const Rect& r, std::vector<Rect>& pieces) {
  const Rect n = node->rect;
  int32_t midTop = std::max(n.top, r.top);
  int32_t midBottom = std::min(n.bottom, r.bottom);
  if (n.left < r.left) pieces.push_back({n.left, midTop, r.left, midBottom});
  if (n.right > r.right) pieces.push_back({r.right, midTop, n.right, midBottom});
  if (n.bottom > r.bottom) pieces.push_back({n.left, r.bottom, n.right, n.bottom});
  if (n.top < r.top) {
    node->rect.bottom = r.top;  // the band above keeps the node's place in row order
  } else {
    Remove(node);
  }
}

void DirtyRectList::Add(const Rect& r) {
  if (r.IsEmpty()) return;
  if (!head_) {
    InsertSorted(r);
    bounds_ = r;
    return;
  }
  if (!Overlaps(bounds_, r)) {
    InsertSorted(r);
    Widen(bounds_, r);
    return;
  }
  // Pieces are inserted after the walk, so the walk only ever sees nodes it has not passed.
  static thread_local std::vector<Rect> pieces;
  pieces.clear();
  RectNode* node = head_;
  for (int remaining = count_; remaining > 0 && node->rect.top < r.bottom; --remaining) {
    RectNode* next = node->next;
    if (Contains(node->rect, r)) {
      for (const Rect& p : pieces) InsertSorted(p);
      return;
    }
    if (Overlaps(node->rect, r)) {
      cursor_ = node;
      Carve(node, r, pieces);
    }
    node = next;
  }
  Widen(bounds_, r);
  for (const Rect& p : pieces) InsertSorted(p);
  InsertSorted(r);
}

void DirtyRectList::Coalesce() {
  if (count_ < 2) return;
  // Side by side: for each node i, the later nodes j that share rows with it and touch it.
  // Every change keeps the union, the order and the disjointness; the scan of i restarts
  // after a re-cut. The bound only guards against a shape the passes keep re-cutting.
  RectNode* i = head_;
  for (int64_t budget = 64 * int64_t{count_} * count_ + 1024; i->next != head_ && budget > 0;
       --budget) {
    bool recut = false;
    RectNode* j = i->next;
    while (j != head_ && j->rect.top < i->rect.bottom) {
      Rect& a = i->rect;
      Rect& b = j->rect;
      const bool touchesLeft = b.right == a.left;
      const bool touchesRight = a.right == b.left;
      if (!touchesLeft && !touchesRight) {
        j = j->next;
        continue;
      }
      if (touchesRight && a.top == b.top) {
        // Same top: i takes the joined width over the shorter height.
        const Rect taller = a.bottom > b.bottom ? a : b;
        const int32_t shorter = std::min(a.bottom, b.bottom);
        a.right = b.right;
        a.bottom = shorter;
        Remove(j);
        if (taller.bottom > shorter) {
          cursor_ = i;
          InsertSorted({taller.left, shorter, taller.right, taller.bottom});
        }
        recut = true;
        break;
      }
      if (a.bottom == b.bottom) {
        // j starts lower and ends level with i: j takes the joined width, i the rows above.
        a.bottom = b.top;
        (touchesLeft ? b.right : b.left) = touchesLeft ? a.right : a.left;
        j = j->next;
        continue;
      }
      // Three bands: i's rows above j, the shared rows across both, the taller one's rest.
      const Rect taller = a.bottom > b.bottom ? a : b;
      const int32_t shorter = std::min(a.bottom, b.bottom);
      const Rect shared{std::min(a.left, b.left), b.top, std::max(a.right, b.right), shorter};
      a.bottom = b.top;
      Remove(j);
      cursor_ = i;
      InsertSorted(shared);
      cursor_ = i;
      InsertSorted({taller.left, shorter, taller.right, taller.bottom});
      recut = true;
      break;
    }
    if (!recut) i = i->next;
  }
  // Stacked: a node right below another of the same width is absorbed.
  cursor_ = head_;
  i = head_;
  for (int index = 0; index < count_; ++index, i = i->next) {
    RectNode* j = i->next;
    while (j != head_ && j->rect.top <= i->rect.bottom) {
      RectNode* next = j->next;
      if (j->rect.top == i->rect.bottom && j->rect.left == i->rect.left &&
          j->rect.right == i->rect.right) {
        i->rect.bottom = j->rect.bottom;
        Remove(j);
      }
      j = next;
    }
  }
}

}  // namespace bw
