// The registry of process-wide objects (the game application, the file-system manager, the
// display manager, ...). Each is set once at start-up and cleared at shut-down; a test sets a
// fake with ScopedGlobal and the previous object comes back when the scope ends.
#pragma once

#include <atomic>
#include <string>
#include <vector>

namespace bw {

// Every registry that has held an object, with what it holds now: the tests check that each test
// leaves them as it found them.
struct HeldGlobal {
  std::string type;
  const void* object;
};
std::vector<HeldGlobal> HeldGlobals();
// typeName is a signature naming T ("... [with T = bw::Name]"); called once per type.
void EnlistGlobal(const char* typeName, const void* (*held)());

// What installing an object of type T sets going besides publishing it. A type that needs more
// (the host's backend makes the installing thread its event thread) specialises this beside its
// own declaration, so that every user of Global<T> sees the specialisation.
template <typename T>
struct GlobalTraits {
  static void Installed(T* /*now*/, T* /*previous*/) {}
};

template <typename T>
class Global {
 public:
  static T* Get() { return instance_.load(std::memory_order_acquire); }
  // Publishes obj and answers what was there before.
  static T* Set(T* obj) {
    static const bool enlisted = (EnlistGlobal(__PRETTY_FUNCTION__, &Held), true);
    (void)enlisted;
    T* previous = instance_.exchange(obj, std::memory_order_acq_rel);
    GlobalTraits<T>::Installed(obj, previous);
    return previous;
  }
  static void Clear() { Set(nullptr); }

 private:
  static const void* Held() { return Get(); }

  static inline std::atomic<T*> instance_{nullptr};
};

template <typename T>
class ScopedGlobal {
 public:
  explicit ScopedGlobal(T* obj) : previous_(Global<T>::Set(obj)) {}
  ~ScopedGlobal() { Global<T>::Set(previous_); }
  ScopedGlobal(const ScopedGlobal&) = delete;
  ScopedGlobal& operator=(const ScopedGlobal&) = delete;

 private:
  T* previous_;
};

}  // namespace bw
