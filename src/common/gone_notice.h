// Objects handed to scripts are known to tables by address. Their base destructors call
// NotifyGone, so every table that names one forgets it at once, whoever destroyed it.
#pragma once

namespace bw {

using GoneListener = void (*)(const void* object, void* context);

// A listener hears every NotifyGone until it is removed; it may run on any thread.
void AddGoneListener(GoneListener listener, void* context);
void RemoveGoneListener(GoneListener listener, void* context);
void NotifyGone(const void* object);

}  // namespace bw
