// A bound member call that a worker thread runs as its body. Copies share one reference-counted
// holder; a holder that owns its target deletes it when the last copy goes.
#pragma once

#include <functional>
#include <memory>

namespace bw {

class ThreadDelegate {
 public:
  ThreadDelegate() = default;  // unbound

  // Calls (target->*op)() without owning target.
  template <typename T, typename R>
  static ThreadDelegate Bind(T* target, R (T::*op)()) {
    return ThreadDelegate(std::make_shared<Holder>([target, op] { (target->*op)(); }, nullptr));
  }
  // The same, and target is deleted with the last copy of the delegate.
  template <typename T, typename R>
  static ThreadDelegate BindOwned(std::unique_ptr<T> target, R (T::*op)()) {
    T* raw = target.get();
    std::shared_ptr<void> owned(std::move(target));
    return ThreadDelegate(std::make_shared<Holder>([raw, op] { (raw->*op)(); }, std::move(owned)));
  }

  bool IsBound() const { return holder_ != nullptr; }
  void operator()() const {
    if (holder_) holder_->call();
  }
  // How many delegates share the holder (0 when unbound).
  long ShareCount() const { return holder_.use_count(); }

 private:
  struct Holder {
    Holder(std::function<void()> c, std::shared_ptr<void> o)
        : call(std::move(c)), owned(std::move(o)) {}
    std::function<void()> call;
    std::shared_ptr<void> owned;  // the target when the holder owns it
  };
  explicit ThreadDelegate(std::shared_ptr<Holder> holder) : holder_(std::move(holder)) {}

  std::shared_ptr<Holder> holder_;
};

}  // namespace bw
