#include "natives/native_families.h"

#include <algorithm>
#include <regex>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "common/gone_notice.h"
#include "graphics/device/display_manager.h"
#include "native_rig.h"
#include "natives/script_object_list.h"
#include "object_families.h"
#include "platform/timer_service.h"
#include "resource/files/file.h"
#include "sound/sound_channel_manager.h"
#include "support/fuzz_seeds.h"

namespace bw {
namespace {

// Each family's numbers lie in what it owns, no number is given twice, and the host places them
// all.
TEST(NativeFamilies, EveryEntryLandsAtItsOwnNumber) {
  NativeRig rig;
  EXPECT_EQ(rig.host->RejectedNativeEntries(), 0u);
  std::vector<int> owner(kNativeCount, -1);
  for (size_t f = 0; f < AllNativeFamilies().size(); ++f) {
    const NativeFamily& family = AllNativeFamilies()[f];
    for (const NativeRange& r : family.numbers) {
      for (uint32_t n = r.first; n <= r.last; ++n) {
        ASSERT_LT(n, kNativeCount) << family.name;
        EXPECT_EQ(owner[n], -1) << "native " << n << " has two families";
        owner[n] = static_cast<int>(f);
      }
    }
    for (const NativeEntry& e : family.entries) {
      ASSERT_LT(e.number, kNativeCount) << family.name;
      EXPECT_EQ(owner[e.number], static_cast<int>(f)) << family.name << " builds " << e.number;
      EXPECT_TRUE(rig.host->IsNativeBuilt(e.number)) << e.number;
    }
  }
}

int32_t AnswerSeven(NativeArgs&) {
  return 7;
}

TEST(NativeFamilies, TheHostRefusesNumbersOutsideTheTableAndTwice) {
  const NativeEntry entries[] = {
      {2, AnswerSeven}, {809, AnswerSeven}, {600, AnswerSeven}, {600, AnswerSeven}};
  const NativeFamily family{"test", entries, {}};
  MemoryScriptFileSource files;
  ScriptHost host(&files, 1, 1 << 20, std::span(&family, 1));
  EXPECT_EQ(host.RejectedNativeEntries(), 3u);
  EXPECT_TRUE(host.IsNativeBuilt(600));
}

// An argument of 0 is no text, no out word and no object, and never faults; a text that runs
// to the arena's end and argument words past it fault.
TEST(NativeArgs, BadAddressesFaultAndZeroIsHarmless) {
  NativeRig rig;
  GuestMemory& m = rig.Memory();
  uint32_t args = rig.Block(16);
  m.Write32(args, 0);
  NativeArgs a(*rig.host, m, args);
  std::string text = "x";
  bool isNull = false;
  EXPECT_TRUE(a.Text(0, text, &isNull));
  EXPECT_TRUE(isNull && text.empty());
  EXPECT_TRUE(a.Out32(0, 5)) << "an out address of 0 is skipped";
  EXPECT_EQ(a.Handle<File>(0, ScriptObjectType::kFile), nullptr);
  EXPECT_FALSE(m.TakeFault());
  // A text running to the arena's end without its terminator.
  uint32_t tail = m.Top() - 4;
  m.Fill(tail, 'a', 4);
  m.Write32(args + 8, tail);
  EXPECT_FALSE(a.Text(2, text));
  EXPECT_TRUE(m.TakeFault());
  NativeArgs wrapping(*rig.host, m, 0xFFFFFFFC);
  EXPECT_EQ(wrapping.U32(1), 0u);
  EXPECT_TRUE(m.TakeFault());
}

// From a script, an argument word that points past the arena (@) ends the step with the
// illegal-script result, in every family.
TEST(NativesFromScripts, BadAddressesEndTheStep) {
  TimerService timers;
  DisplayManager display;
  ScopedGlobal<TimerService> publishTimers(&timers);
  ScopedGlobal<DisplayManager> publishDisplay(&display);
  const std::pair<uint32_t, std::string> calls[] = {
      // clang-format off
      {Native::kStrCopy, "@, @"}, {Native::kStrLen, "@"}, {Native::kStrFormat, "@, @"},
      {Native::kPointOnCircle, "0, 1, 0, 0, @, @"}, {Native::kStrHelper, "@, 4"},
      {Native::kSetupInputDialog, "@, @, 0, 16"}, {Native::kGetLocalTime, "@, @"},
      {Native::kMessageBox, "@, @, 0"}, {Native::kDisplayDestroyLayer, "@"}, {Native::kRenderItemDestroy, "@"},
      {Native::kCreateD3DPolygonPrimitive, "0, 0, 0x40000000"}, {Native::kHvaDataCreate, "@, 0"},
      {Native::kHvaDataLoad, "0, @"}, {Native::kCellImageRelease, "@"}, {Native::kSoundCreate, "@, 0"},
      {Native::kSoundDestroy, "@"}, {Native::kSoundExportWave, "@, @"}, {Native::kBgmDuck, "6, @"},
      {Native::kVoicePlay, "0, name, 0x7FFFFFFF, 1"},  // an id count past the arena
      // clang-format on
  };
  for (const auto& [number, words] : calls) {
    NativeRig rig(" native native:" + std::to_string(number) +
                  ", args, host:0\n ret\nargs: .word " +
                  std::regex_replace(words, std::regex("@"), "0x3FFFFFF0") +
                  ", 0, 0, 0, 0, 0, 0, 0, 0\nname: .string \"a\"\n");
    rig.host->SetSoundChannels(std::make_unique<SoundChannelManager>(&timers));
    EXPECT_EQ(rig.host->Step(), kStepIllegal) << number;
  }
}

// An object that other holders may keep alive, and that counts its destructions.
struct Shared {
  explicit Shared(int* counter) : gone(counter) {}
  ~Shared() {
    NotifyGone(this);
    ++*gone;
  }
  uint32_t& ExtraReferences() { return extra; }
  int* gone;
  uint32_t extra = 0;
};

TEST(ScriptObjectList, ObjectsHeldElsewhereOutliveTheirRelease) {
  ScriptHandles handles;
  int gone = 0;
  uint32_t h = 0, kept = 0;
  {
    ScriptObjectList<Shared> list(handles, ScriptObjectType::kSurface);
    ASSERT_EQ(list.Create(h, NoSetup{}, &gone), kObjectListCreated);
    ASSERT_EQ(list.Create(kept, NoSetup{}, &gone), kObjectListCreated);
    Shared* held = list.Find(h);
    held->extra = 1;  // a second holder
    EXPECT_EQ(list.Release(held), kObjectListReleased);
    EXPECT_EQ(gone, 0);
    EXPECT_EQ(list.Find(h), nullptr) << "the script's handle went with its reference";
    delete held;  // the other holder lets go
    EXPECT_EQ(gone, 1);
  }
  EXPECT_EQ(gone, 2) << "the list's destructor releases what is left";
  EXPECT_EQ(handles.LiveCount(), 0u);
}

// A failed set-up appends nothing; a full handle table is the list's out of memory, told apart
// from every set-up's own codes, and the object made for it goes again.
TEST(ScriptObjectList, AFailedSetUpOrAFullHandleTableLeavesNothing) {
  ScriptHandles handles;
  ScriptObjectList<File> files(handles, ScriptObjectType::kFile);
  uint32_t h = 7;
  EXPECT_EQ(files.Create(h, [](File&) { return 3; }), 3);
  EXPECT_EQ(h, 0u);
  EXPECT_EQ(files.Count(), 0u);
  EXPECT_EQ(handles.LiveCount(), 0u);

  for (uintptr_t i = 1; handles.HandleOf(ScriptObjectType::kFile, reinterpret_cast<void*>(i * 8));)
    ++i;
  int gone = 0;
  ScriptObjectList<Shared> list(handles, ScriptObjectType::kSurface);
  h = 7;
  EXPECT_EQ(list.Create(h, NoSetup{}, &gone), -1) << "no loader answers it";
  EXPECT_EQ(std::tuple(h, gone, list.Count()), std::tuple(0u, 1, size_t{0}));
}

// Every family of objects the natives hand a main script, played through the script's native
// table as a game plays it: made, used, released, used again by the handle the script kept,
// released again, and released while a task, effect or part still works on it.
using fuzz::ObjectFamily;
using fuzz::ObjectWorld;

constexpr uint32_t kWord = 3;

const ObjectFamily& Family(size_t index) {
  return fuzz::ObjectFamilies()[index];
}

bool Names(ObjectWorld& w, uint32_t handle) {
  ScriptObjectType type{};
  return w.Handles().Lookup(handle, &type) != nullptr;
}

// What the script's handle gets once its object is gone: each use's refusal, and the release's
// answer for a handle given a second time. The handle names nothing once a frame has passed (a
// removed task is deleted by the next pass).
void ExpectGone(ObjectWorld& w, const ObjectFamily& f, uint32_t handle) {
  for (size_t i = 0; i < f.uses.size(); ++i) {
    EXPECT_EQ(f.uses[i].call(w, handle, kWord + i), f.uses[i].gone)
        << "use " << i << " of a gone object";
  }
  EXPECT_EQ(f.release(w, handle), f.releasedAgain) << "released again";
  w.Pass(16);
  EXPECT_FALSE(Names(w, handle)) << "the handle goes with its object";
}

class ObjectLives : public ::testing::TestWithParam<size_t> {};

TEST_P(ObjectLives, MadeUsedReleasedAndUsedAgain) {
  const ObjectFamily& f = Family(GetParam());
  ObjectWorld w;
  const uint32_t handle = f.create(w);
  ASSERT_NE(handle, 0u);
  ScriptObjectType type{};
  ASSERT_NE(w.Handles().Lookup(handle, &type), nullptr);
  EXPECT_EQ(type, f.type);
  for (size_t i = 0; i < f.uses.size(); ++i) {
    EXPECT_NE(f.uses[i].call(w, handle, kWord + i), f.uses[i].gone)
        << "use " << i << " of a live object";
  }
  w.Pass(50);
  EXPECT_EQ(f.release(w, handle), f.released);
  ExpectGone(w, f, handle);
  w.Pass(50);
}

TEST_P(ObjectLives, ReleasedWhileSomethingWorksOnIt) {
  const ObjectFamily& f = Family(GetParam());
  if (!f.busy) GTEST_SKIP() << "nothing works on a " << f.name;
  ObjectWorld w;
  const uint32_t handle = f.create(w);
  ASSERT_NE(handle, 0u);
  const uint32_t user = f.busy(w, handle);
  ASSERT_NE(user, 0u) << "something works on it";
  w.Pass(100);
  EXPECT_EQ(f.release(w, handle), f.released);
  if (f.afterwards) f.afterwards(w, user);
  w.Pass(500);
  ExpectGone(w, f, handle);
}

// The family's name with its spaces as underscores.
std::string FamilyName(size_t index) {
  std::string name = Family(index).name;
  std::replace(name.begin(), name.end(), ' ', '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(Families, ObjectLives,
                         ::testing::Range(size_t{0}, fuzz::ObjectFamilies().size()),
                         [](const auto& row) { return FamilyName(row.param); });

// The object fuzz target's seeds: each family played as the family tests play it.
TEST(ObjectLivesFuzzSeeds, MatchTheCommittedCorpus) {
  test::FuzzSeeds seeds;
  for (size_t f = 0; f < fuzz::ObjectFamilies().size(); ++f)
    seeds[FamilyName(f)] = fuzz::FamilyPlay(f);
  test::CheckOrWriteFuzzSeeds("object_lives", seeds);
}

}  // namespace
}  // namespace bw
