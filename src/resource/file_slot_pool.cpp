#include "resource/file_slot_pool.h"

#include <algorithm>
#include <new>

#include "platform/app_paths.h"

namespace bw {

FileSlotPool::~FileSlotPool() {
  Free();
}

int FileSlotPool::Allocate(uint32_t count) {
  Free();
  // Counts were 16 bits wide: a larger one used to wrap to a handful of slots, or to none.
  if (count > kMaxSlots) return kSlotOutOfMemory;
  try {
    std::vector<std::unique_ptr<File>> slots(count);
    for (auto& slot : slots) slot = std::make_unique<File>();
    auto busy = std::make_unique<std::atomic<uint8_t>[]>(count);
    for (uint32_t i = 0; i < count; ++i) busy[i].store(0, std::memory_order_relaxed);
    names_.assign(count, {});
    slots_ = std::move(slots);
    busy_ = std::move(busy);
  } catch (const std::bad_alloc&) {
    Free();
    return kSlotOutOfMemory;
  }
  return kSlotOk;
}

void FileSlotPool::Free() {
  (void)Stop();  // one that cannot be joined is left detached
  slots_.clear();
  busy_.reset();
  names_.clear();
  batchFirst_ = batchCount_ = 0;
}

int FileSlotPool::SetFolder(const char* path) {
  (void)Stop();  // one that cannot be joined is left detached

  if (!path) {
    folder_.clear();
    return kSlotOk;
  }
  folder_ = path;
  if (!folder_.empty() && !EndsWithSeparator(folder_)) folder_ += '\\';
  return kSlotOk;
}

int FileSlotPool::StartLoading(uint32_t first, uint32_t count, const char* const* names) {
  if (slots_.empty() || count == 0 || !names || first >= slots_.size() ||
      count > slots_.size() - first)
    return kSlotBadBatch;
  if (IsRunning()) return kSlotWorkerBusy;
  // A finished worker is joined before its slots change hands.
  (void)Stop();  // one that cannot be joined is left detached
  batchFirst_ = first;
  batchCount_ = count;
  for (uint32_t i = 0; i < count; ++i) {
    names_[first + i] = names[i] ? names[i] : "";
    slots_[first + i]->Close();
    busy_[first + i].store(1, std::memory_order_relaxed);
  }
  if (Start() != kThreadStarted) {
    for (uint32_t i = 0; i < count; ++i) busy_[first + i].store(0, std::memory_order_relaxed);
    return kSlotWorkerBusy;
  }
  return kSlotOk;
}

void FileSlotPool::Run() {
  for (uint32_t i = batchFirst_; i < batchFirst_ + batchCount_ && KeepRunning(); ++i) {
    std::string path = folder_ + names_[i];
    // A slot whose file fails to load stays empty, which its reader sees.
    (void)slots_[i]->Load(path.c_str());
    busy_[i].store(0, std::memory_order_release);
  }
}

bool FileSlotPool::WaitIdle() {
  if (!IsRunning()) return false;
  // A body that ends requests its own stop: that request is all there is to wait for.
  while (IsRunning()) (void)WaitForStopRequest(kInfinite);  // the loop looks again
  (void)Stop();                                             // the body has ended

  return true;
}

bool FileSlotPool::Ready(uint32_t slot) const {
  return slot < slots_.size() && busy_[slot].load(std::memory_order_acquire) == 0;
}

bool FileSlotPool::IsSlotBusy(uint32_t slot) const {
  return slot < slots_.size() && busy_[slot].load(std::memory_order_acquire) != 0;
}

const void* FileSlotPool::GetSlotData(uint32_t slot) {
  return Ready(slot) ? slots_[slot]->GetData() : nullptr;
}

uint32_t FileSlotPool::GetSlotSize(uint32_t slot) {
  return Ready(slot) ? slots_[slot]->GetSize() : 0;
}

int FileSlotPool::CloseRange(uint32_t first, uint32_t count) {
  if (slots_.empty()) return kSlotNoSlots;
  int leftOpen = 0;
  uint64_t end = std::min<uint64_t>(uint64_t{first} + count, slots_.size());
  for (uint64_t i = first; i < end; ++i) {
    if (Ready(static_cast<uint32_t>(i))) {
      slots_[i]->Close();
    } else {
      ++leftOpen;
    }
  }
  return leftOpen;
}

}  // namespace bw
