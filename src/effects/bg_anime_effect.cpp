#include "effects/bg_anime_effect.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <set>

#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "resource/file_slot_pool.h"
#include "resource/images/hvd_animation.h"

namespace bw {

namespace {

// Set by a script command, read by every running animation on the frame thread.
std::atomic<bool> stallReset{false};

constexpr int32_t kCommandNextBlock = 0;
constexpr int32_t kCommandLoopMark = 1;
constexpr int32_t kCommandLoopBack = 2;

uint16_t HeaderWord(const HvdAnimation& anim, size_t at) {
  return static_cast<uint16_t>(anim.GetHeader()[at] | anim.GetHeader()[at + 1] << 8);
}

bool IsLoopMark(const HvdFrame& f) {
  return f.a < 0 && f.b == kCommandLoopMark;
}

// The cells a block shows that the entries name, in first-use order.
std::vector<int32_t> CellsOf(const HvdAnimation& anim, int32_t block) {
  std::vector<int32_t> cells;
  std::set<int32_t> seen;
  const int32_t first = anim.GetRangeStart(block), last = anim.GetRangeEnd(block);
  for (int32_t i = std::max(first, 0); i >= 0 && i <= last; ++i) {
    const int32_t cell = anim.Frames()[static_cast<size_t>(i)].a;
    if (cell >= 0 && static_cast<size_t>(cell) < anim.Entries().size() && seen.insert(cell).second)
      cells.push_back(cell);
  }
  return cells;
}

}  // namespace

std::unique_ptr<DisplayEffect> BgAnimeEffect::Create(uint32_t) {
  return std::make_unique<BgAnimeEffect>();
}

int BgAnimeEffect::SetStallReset(ArgWords args) {
  stallReset = args.Int(0) != 0;
  return 0;
}

bool BgAnimeEffect::StallReset() {
  return stallReset;
}

BgAnimeEffect::BgAnimeEffect() = default;

BgAnimeEffect::~BgAnimeEffect() {
  ShowOwnPicture();
  // The worker goes before the banks it fills.
  if (pool_) pool_->Free();
}

int BgAnimeEffect::Setup(TimerService* timers, EffectTarget target, ArgWords args) {
  auto* anim = args.Pointer<HvdAnimation>(0);
  const char* folder = args.Text(1);
  if (timers == nullptr || !BindTarget(target) || anim == nullptr || folder == nullptr ||
      anim->RangeCount() == 0) {
    return kBgAnimeBadArguments;
  }
  if (anim_ != nullptr) return kBgAnimeNoSurface;
  anim_ = anim;
  frame_ = std::make_unique<ImageSurface>();
  const int32_t width = HeaderWord(*anim, 0), height = HeaderWord(*anim, 2);
  if (width == 0 || height == 0 || frame_->Create(width, height, 32, kImagePlain) != 0)
    return kBgAnimeNoSurface;
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)frame_->Fill(0, nullptr);
  for (size_t block = 0; block < anim->RangeCount(); ++block) {
    const auto n = static_cast<uint32_t>(CellsOf(*anim, static_cast<int32_t>(block)).size());
    slotsPerBank_ = std::max(slotsPerBank_, n);
  }
  pool_ = std::make_unique<FileSlotPool>();
  // A folder name too long reads from the current folder, where the pictures are then missed.
  (void)pool_->SetFolder(*folder != '\0' ? folder : nullptr);
  if (slotsPerBank_ > kMaxSlots / 2 || pool_->Allocate(2 * std::max(slotsPerBank_, 1u)) != 0)
    return kBgAnimeNoSurface;
  loop_ = args.Int(4) != 0;
  if (args.Int(2) >= 0 && Prepare(args.Int(2), args.Int(3)) != 0) return kBgAnimeStartFailed;
  if (args.Int(5) != 0 && Start() != 0) return kBgAnimeStartFailed;
  return 0;
}

int32_t BgAnimeEffect::NextBlock(int32_t block) const {
  if (static_cast<size_t>(block) + 1 < anim_->RangeCount()) return block + 1;
  return loop_ ? 0 : -1;
}

bool BgAnimeEffect::BeginLoad(Bank& bank, int32_t block) {
  FinishLoad(banks_[0]);
  FinishLoad(banks_[1]);
  bank.block = block;
  bank.cells = CellsOf(*anim_, block);
  bank.pictures.clear();
  if (bank.cells.empty()) return true;
  std::vector<const char*> names;
  for (int32_t cell : bank.cells) names.push_back(anim_->Entries()[size_t(cell)].name.c_str());
  const uint32_t first = &bank == &banks_[0] ? 0 : slotsPerBank_;
  bank.loading =
      pool_->StartLoading(first, static_cast<uint32_t>(names.size()), names.data()) == kSlotOk;
  return bank.loading;
}

void BgAnimeEffect::FinishLoad(Bank& bank) {
  if (!bank.loading) return;
  bank.loading = false;
  pool_->WaitIdle();
  const uint32_t first = &bank == &banks_[0] ? 0 : slotsPerBank_;
  const auto count = static_cast<uint32_t>(bank.cells.size());
  bank.pictures.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    const auto* data = static_cast<const uint8_t*>(pool_->GetSlotData(first + i));
    if (data == nullptr) continue;
    auto picture = std::make_unique<ImageSurface>();
    // Decoded from the slot's bytes: a name would read the file again.
    if (picture->Load(nullptr, data, pool_->GetSlotSize(first + i), 0) != 0) continue;
    if (picture->GetBitsPerPixel() != 32 && picture->ConvertDepth(32) != 0) continue;
    bank.pictures[i] = std::move(picture);
  }
  // The range was loaded just above: it is there to close.
  (void)pool_->CloseRange(first, count);
}

int BgAnimeEffect::Prepare(int32_t block, int32_t frame) {
  if (block < 0 || static_cast<size_t>(block) >= anim_->RangeCount()) block = 0;
  const int32_t first = anim_->GetRangeStart(block), last = anim_->GetRangeEnd(block);
  if (frame < first || frame > last) frame = first;
  current_ = 0;
  // A block that does not load is shown from the cells it has; the frame step loads it again.
  (void)BeginLoad(banks_[0], block);
  FinishLoad(banks_[0]);
  const int32_t next = NextBlock(block);
  banks_[1].block = -1;
  // A block that does not load is shown from the cells it has; the frame step loads it again.
  if (next >= 0 && next != block) (void)BeginLoad(banks_[1], next);
  block_ = block;
  index_ = frame;
  loopMark_ = -1;
  endLoop_ = false;
  prepared_ = true;
  return 0;
}

int BgAnimeEffect::Start() {
  if (!prepared_) return kBgAnimeNotNow;
  size_t budget = anim_->Frames().size();
  if (anim_->Frames()[size_t(index_)].a < 0) {
    --index_;
    if (!Step(&budget)) return kBgAnimeFirstFrameFailed;
  }
  DrawCell();
  if (!showing_) {
    ImageSurface* own = Picture();
    layer_->GetBackground(nullptr, &ownX_, &ownY_, nullptr, nullptr, nullptr);
    own_ = std::make_unique<SurfaceWatch>(own);
    // A picture without pixels leaves the background as it was.
    (void)layer_->SetBackgroundImage(frame_.get(), 0, 0, true);
    showing_ = true;
  }
  state_ = kBgAnimePlaying;
  restartTiming_ = true;
  return 0;
}

void BgAnimeEffect::ShowOwnPicture() {
  if (!showing_) return;
  showing_ = false;
  if (layer_ != nullptr)
    // A picture without pixels leaves the background as it was.
    (void)layer_->SetBackgroundImage(own_ ? own_->Get() : nullptr, ownX_, ownY_, true);
  own_.reset();
}

bool BgAnimeEffect::Step(size_t* budget) {
  const auto& frames = anim_->Frames();
  for (;;) {
    // One pass of the table per update: marks, jumps and zero times cannot loop for ever.
    if (*budget == 0) return false;
    --*budget;
    ++index_;
    if (index_ < 0 || static_cast<size_t>(index_) >= frames.size()) index_ = 0;
    const HvdFrame& f = frames[size_t(index_)];
    if (f.a >= 0) return true;
    if (f.b <= kCommandNextBlock) {
      const int32_t next = NextBlock(block_);
      if (next < 0) {
        state_ = kBgAnimeStopped;
        --index_;
        return false;
      }
      if (next != block_) {
        Bank& other = banks_[1 - current_];
        // The switch waits for the worker to finish the next block's cells.
        // A block that does not load is shown from the cells it has; the frame step loads it again.
        if (other.block != next) (void)BeginLoad(other, next);
        FinishLoad(other);
        current_ = 1 - current_;
        block_ = next;
        const int32_t after = NextBlock(next);
        // A block that does not load is shown from the cells it has; the frame step loads it again.
        if (after >= 0 && after != next) (void)BeginLoad(banks_[1 - current_], after);
      }
      index_ = anim_->GetRangeStart(next) - 1;
    } else if (f.b == kCommandLoopMark) {
      loopMark_ = index_;
    } else if (f.b == kCommandLoopBack) {
      if (endLoop_) {
        loopMark_ = -1;
        endLoop_ = false;
      } else if (loopMark_ >= 0) {
        index_ = loopMark_;
      }
    }
  }
}

const ImageSurface* BgAnimeEffect::CellPicture(int32_t cell) const {
  const Bank& bank = banks_[current_];
  for (size_t i = 0; i < bank.cells.size() && i < bank.pictures.size(); ++i) {
    if (bank.cells[i] == cell) return bank.pictures[i].get();
  }
  return nullptr;
}

void BgAnimeEffect::DrawCell() {
  const HvdFrame& f = anim_->Frames()[size_t(index_)];
  if (f.a < 0) return;
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)frame_->Fill(0, nullptr);
  // A cell the entries do not name, or one that did not load, draws nothing.
  if (const ImageSurface* picture = CellPicture(f.a)) {
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)frame_->Blit(picture, static_cast<int16_t>(f.c & 0xFFFF), static_cast<int16_t>(f.c >> 16),
                       nullptr, false);
  }
  // A layer without a target has nothing to redraw.
  if (showing_) (void)layer_->InvalidateAll();
}

int32_t BgAnimeEffect::FrameDuration() const {
  const HvdFrame& f = anim_->Frames()[size_t(index_)];
  return f.a >= 0 ? std::max(f.b, 0) : 0;
}

int32_t BgAnimeEffect::Update(uint32_t nowMs) {
  if (layer_ == nullptr || anim_ == nullptr) return kTaskStepFinished;
  if (state_ != kBgAnimePlaying) return kTaskStepContinue;
  if (restartTiming_) {
    restartTiming_ = false;
    frameStart_ = nowMs;
    return kTaskStepContinue;
  }
  uint32_t elapsed = nowMs - frameStart_;
  auto due = static_cast<uint32_t>(FrameDuration());
  if (elapsed < due) return kTaskStepContinue;
  size_t budget = anim_->Frames().size();
  if (!StallReset() || elapsed > kBgAnimeStallMs) {
    // One entry per due time; a stall restarts the timing from now.
    Step(&budget);
    frameStart_ = nowMs;
  } else {
    while (elapsed >= due && Step(&budget)) {
      frameStart_ += due;
      elapsed -= due;
      due = static_cast<uint32_t>(FrameDuration());
    }
    if (budget == 0) frameStart_ = nowMs;
  }
  DrawCell();
  return kTaskStepContinue;
}

void BgAnimeEffect::Stop() {
  state_ = kBgAnimeStopped;
  ShowOwnPicture();
}

int BgAnimeEffect::Command(ArgWords args) {
  if (anim_ == nullptr || layer_ == nullptr) return kBgAnimeNoAnimation;
  switch (args.Int(0)) {
    case 0:
      return Prepare(args.Int(1), args.Int(2));
    case 1:
      return Start();
    case 2:
      if (state_ != kBgAnimePlaying) return kBgAnimeNotNow;
      state_ = kBgAnimePaused;
      return 0;
    case 3:
      if (state_ != kBgAnimePaused) return kBgAnimeNotNow;
      state_ = kBgAnimePlaying;
      restartTiming_ = true;
      return 0;
    case 4:
      Stop();
      return 0;
    case 5:
      if (loopMark_ < 0) return kBgAnimeNotNow;
      endLoop_ = true;
      return 0;
    default:
      return kBgAnimeUnknown;
  }
}

int BgAnimeEffect::Query(ArgWords args) {
  if (anim_ == nullptr) return -1;
  const auto& frames = anim_->Frames();
  switch (args.Int(0)) {
    case 0:
      return state_;
    case 1:
      return loopMark_ >= 0 && !endLoop_ ? 1 : 0;
    case 2:
      return block_;
    case 3:
      return index_;
    case 4:
      for (size_t i = size_t(index_) + 1; i < frames.size(); ++i) {
        if (IsLoopMark(frames[i])) return static_cast<int32_t>(i);
      }
      return -1;
    case 5:
      for (size_t block = size_t(block_) + 1; block < anim_->RangeCount(); ++block) {
        const int32_t first = anim_->GetRangeStart(int32_t(block));
        const int32_t last = anim_->GetRangeEnd(int32_t(block));
        for (int32_t i = first; i >= 0 && i <= last; ++i) {
          if (IsLoopMark(frames[size_t(i)])) return static_cast<int32_t>(block);
        }
      }
      return -1;
    default:
      return -1;
  }
}

bool BgAnimeEffect::IsBoundTo(const void* object) const {
  return LayerEffect::IsBoundTo(object) || (object != nullptr && object == anim_);
}

void BgAnimeEffect::Unbind(const void* object) {
  if (object == anim_) {
    anim_ = nullptr;
    state_ = kBgAnimeStopped;
  }
  if (LayerEffect::IsBoundTo(object)) {
    showing_ = false;
    own_.reset();
  }
  LayerEffect::Unbind(object);
}

void BgAnimeEffect::ShiftStartTimes(uint32_t spanMs) {
  frameStart_ += spanMs;
}

}  // namespace bw
