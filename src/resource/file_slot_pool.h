// Files loaded ahead of use: a fixed array of slots that the pool's worker thread fills in the
// background while the frame loop goes on. A slot belongs to the worker while it is busy and to
// the frame thread afterwards; every accessor refuses a busy slot.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/worker_thread.h"
#include "resource/files/file.h"

namespace bw {

constexpr int kSlotOk = 0;
constexpr int kSlotOutOfMemory = 8;  // Allocate: no memory, or more slots than the pool holds
// StartLoading.
constexpr int kSlotBadBatch = 1;  // no slots, an empty batch, or a batch past the last slot
constexpr int kSlotWorkerBusy = 2;
// CloseRange without slots.
constexpr int kSlotNoSlots = -1;

constexpr uint32_t kMaxSlots = 65535;

class FileSlotPool : public WorkerThread {
 public:
  FileSlotPool() = default;
  ~FileSlotPool() override;

  // Frees the old slots and makes count new ones (0 makes none).
  [[nodiscard]] int Allocate(uint32_t count);
  // Stops the worker and drops every slot.
  void Free();
  // Stops the worker; names are then looked up under path ('\' appended unless it ends with a
  // separator). Null clears the folder.
  [[nodiscard]] int SetFolder(const char* path);
  // Loads names[0 .. count-1] into slots first .. first+count-1 in the background. The names
  // are copied.
  [[nodiscard]] int StartLoading(uint32_t first, uint32_t count, const char* const* names);
  // Waits for the running batch to end; false when no worker runs.
  bool WaitIdle();

  // The slot's loaded content; null while busy, out of range, or when the load failed.
  const void* GetSlotData(uint32_t slot);
  uint32_t GetSlotSize(uint32_t slot);
  bool IsSlotBusy(uint32_t slot) const;
  // Closes the slots of the range that are not busy (the range stops at the last slot) and
  // answers how many were left open because the worker still had them.
  [[nodiscard]] int CloseRange(uint32_t first, uint32_t count);

  uint32_t GetSlotCount() const { return static_cast<uint32_t>(slots_.size()); }

  void Run() override;

 private:
  [[nodiscard]] bool Ready(uint32_t slot) const;

  std::vector<std::unique_ptr<File>> slots_;
  // Set by the frame thread before the worker starts; cleared by the worker (release) once the
  // slot's file is loaded, read by the frame thread (acquire).
  std::unique_ptr<std::atomic<uint8_t>[]> busy_;
  std::vector<std::string> names_;  // per slot: the name of the current batch
  std::string folder_;
  uint32_t batchFirst_ = 0;
  uint32_t batchCount_ = 0;
};

}  // namespace bw
