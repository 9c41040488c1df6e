// Hands a test's task to a timer service and keeps a pointer to watch it by.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "platform/timer_service.h"

namespace bw::test {

// The task, now owned by service; null (and a failed test) when the service refused it.
template <typename Task>
Task* List(TimerService& service, std::unique_ptr<Task> task, uint32_t delayMs = 0,
           uint32_t intervalMs = 0, uint32_t repeatCount = 0) {
  Task* listed = task.get();
  const uint32_t result = service.Add(std::move(task), delayMs, intervalMs, repeatCount);
  EXPECT_EQ(result, kTaskAdded);
  return result == kTaskAdded ? listed : nullptr;
}

// A task whose start succeeded, handed to service at the schedule it asked for: the task, or null
// (and a failed test) when the service refused it.
template <typename Task>
Task* HandOver(TimerService& service, std::unique_ptr<Task> task) {
  Task* listed = service.HandOver(std::move(task));
  EXPECT_NE(listed, nullptr);
  return listed;
}

}  // namespace bw::test
