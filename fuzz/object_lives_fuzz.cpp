// Plays the families of script objects in random orders through the script's native table: a
// pool of the handles made so far, of every family, whose objects are used (by their own
// handle or another family's), released, released again, set working and swept away together,
// while frames pass. Whatever the order, nothing touches freed memory, and a handle released
// once gets the family's answer for a second release.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "object_families.h"

namespace {

using bw::fuzz::ObjectFamilies;
using bw::fuzz::ObjectFamily;
using bw::fuzz::ObjectWorld;
using bw::fuzz::Verb;

constexpr size_t kMaxSteps = 64;
constexpr size_t kMaxPool = 24;

// Words a use may take: small, at the ends of the coordinate range, and switches.
constexpr uint32_t kWords[] = {0,          1,          3,          200,        65535,
                               0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0x7FFFFFF0, 0x10000};

// Natives that end many objects at once: every renderer, every display object, every sprite,
// every listed sound, every part, the object lists, the two GMP screens, the movie, the files.
constexpr uint32_t kSweeps[] = {166, 200, 405, 602, 711, 512, 519, 536, 523, 528, 633, 126};

struct Entry {
  size_t family;
  uint32_t handle;
  bool released = false;
};
struct Busy {
  size_t family;
  uint32_t user;
};

class Play {
 public:
  void Step(Verb verb, uint8_t a, uint8_t b, uint8_t c) {
    switch (verb) {
      case Verb::kCreate:
        return Create(a);
      case Verb::kUse:
        return Use(a, b, c);
      case Verb::kRelease:
        return Release(a);
      case Verb::kBusy:
        return SetBusy(a);
      case Verb::kAfterwards:
        return Afterwards(a);
      case Verb::kPass:
        return world_.Pass(16u * (a % 8u + 1u));
      case Verb::kSweep:
        world_.Answer(kSweeps[a % std::size(kSweeps)], {});
        return;
      case Verb::kCount:
        return;
    }
  }

 private:
  const ObjectFamily& FamilyOf(const Entry& e) const { return ObjectFamilies()[e.family]; }

  void Create(uint8_t a) {
    if (pool_.size() >= kMaxPool) return;
    const size_t family = a % ObjectFamilies().size();
    if (uint32_t handle = ObjectFamilies()[family].create(world_))
      pool_.push_back({family, handle});
  }
  void Use(uint8_t a, uint8_t b, uint8_t c) {
    if (pool_.empty()) return;
    const Entry& e = pool_[a % pool_.size()];
    const ObjectFamily& f = FamilyOf(e);
    if (f.uses.empty()) return;
    // The top bit hands the use another entry's handle: of another family, or stale.
    const uint32_t handle =
        (c & 0x80) ? pool_[(a + 1u + (c & 0x7F)) % pool_.size()].handle : e.handle;
    f.uses[b % f.uses.size()].call(world_, handle, kWords[(c & 0x7F) % std::size(kWords)]);
  }
  void Release(uint8_t a) {
    if (pool_.empty()) return;
    Entry& e = pool_[a % pool_.size()];
    const ObjectFamily& f = FamilyOf(e);
    const int32_t answer = f.release(world_, e.handle);
    if (e.released && answer != f.releasedAgain) std::abort();
    e.released = true;
  }
  void SetBusy(uint8_t a) {
    if (pool_.empty()) return;
    const Entry& e = pool_[a % pool_.size()];
    const ObjectFamily& f = FamilyOf(e);
    if (!f.busy) return;
    if (uint32_t user = f.busy(world_, e.handle)) busy_.push_back({e.family, user});
  }
  void Afterwards(uint8_t a) {
    if (busy_.empty()) return;
    const Busy& b = busy_[a % busy_.size()];
    if (auto afterwards = ObjectFamilies()[b.family].afterwards) afterwards(world_, b.user);
  }

  ObjectWorld world_;
  std::vector<Entry> pool_;
  std::vector<Busy> busy_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > bw::fuzz::kStepBytes * kMaxSteps) return 0;
  Play play;
  for (size_t at = 0; at + bw::fuzz::kStepBytes <= size; at += bw::fuzz::kStepBytes) {
    const auto verb = static_cast<Verb>(data[at] % static_cast<uint8_t>(Verb::kCount));
    play.Step(verb, data[at + 1], data[at + 2], data[at + 3]);
  }
  return 0;
}
