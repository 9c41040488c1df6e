// The platform's services: what the program learns of the machine (the processor and the
// monitors), the small values it keeps (random generators, bit sets), paths and file dialogs.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <tuple>

#include "host/clock.h"
#include "host/dialog/scripted_dialog_host.h"
#include "host/headless/headless_backend.h"
#include "platform/app_paths.h"
#include "platform/bit_set.h"
#include "platform/cpu_info.h"
#include "platform/file_dialogs.h"
#include "platform/mersenne_twister.h"
#include "platform/mmx_flag.h"
#include "platform/monitor_list.h"
#include "platform/subtractive_random.h"
#include "support/game_folder.h"

namespace bw {
namespace {

class FakeProbe : public CpuProbe {
 public:
  std::map<uint32_t, CpuidRegisters> leaves;
  std::deque<uint64_t> counter;

  bool HasCpuid() override { return true; }
  CpuidRegisters Cpuid(uint32_t leaf) override {
    auto it = leaves.find(leaf);
    return it == leaves.end() ? CpuidRegisters{} : it->second;
  }
  uint64_t ReadTimeStampCounter() override {
    ++counterReads;
    if (counter.empty()) return 0;
    uint64_t v = counter.front();
    counter.pop_front();
    return v;
  }
  int counterReads = 0;
  uint32_t PlatformProcessorType() override { return 0; }

  void Vendor(const char* name, uint32_t highest, uint32_t highestExtended) {
    CpuidRegisters r{highest, 0, 0, 0};
    std::memcpy(&r.ebx, name, 4);
    std::memcpy(&r.edx, name + 4, 4);
    std::memcpy(&r.ecx, name + 8, 4);
    leaves[0] = r;
    leaves[0x80000000u] = {highestExtended, 0, 0, 0};
  }
  void Signature(int type, int family, int model, int stepping, uint32_t ebx, uint32_t edx) {
    leaves[1] = {uint32_t(type << 12 | family << 8 | model << 4 | stepping), ebx, 0, edx};
  }
};

constexpr uint32_t kTsc = 1u << 4, kMmx = 1u << 23, kSse = 1u << 25, kHtt = 1u << 28;

// A family 6 model 8 processor with the given feature bits.
FakeProbe Intel(uint32_t features) {
  FakeProbe probe;
  probe.Vendor("GenuineIntel", 1, 0);
  probe.Signature(0, 6, 8, 3, 0, features);
  return probe;
}

TEST(CpuIdentifier, IntelCachesAndName) {
  FakeProbe probe;
  probe.Vendor("GenuineIntel", 2, 0x80000004u);
  probe.Signature(0, 6, 8, 3, /*brand index*/ 1 | 1 << 16, kTsc | kMmx | kSse | kHtt | 1);
  // Descriptor byte 0 is a count and is skipped; 0x08 code 16, 0x0C data 16, 0x41 L2 128.
  probe.leaves[2] = {0x0C080001u, 0, 0, 0x00000041u};
  const char brand[48] = "   Test Processor";
  for (uint32_t i = 0; i < 3; ++i) std::memcpy(&probe.leaves[0x80000002u + i], brand + 16 * i, 16);
  CpuIdentifier cpu(probe);
  ASSERT_EQ(cpu.Identify(), kCpuIdentified);
  const CpuRecord& r = cpu.Record();
  EXPECT_STREQ(r.vendor, "GenuineIntel");
  EXPECT_EQ(std::tuple(r.l1Code, r.l1Data, r.l2), std::tuple(16u, 16u, 128u));
  EXPECT_TRUE(r.mmx && r.sse && r.mmxPlus && r.fpu);
  EXPECT_FALSE(r.htt) << "one logical processor";
  EXPECT_EQ(r.brand, "Test Processor");
  EXPECT_EQ(r.modelName, "Intel Celeron(Coppermine-128K)");
}

// Half a second of the virtual clock between two readings of a counter that wraps its low 32 bits.
TEST(CpuIdentifier, ClockMeasuredOnceOverHalfASecondAndNotWithTheCounterSwitchedOff) {
  host::VirtualClock clock(1000);
  ScopedGlobal<host::ClockSource> useClock(&clock);
  FakeProbe probe = Intel(kTsc);
  probe.counter = {0x1'FFFF'0000ull, 0x1'FFFF'0000ull + 1'000'000'000ull};
  CpuIdentifier cpu(probe);
  (void)cpu.Identify();
  EXPECT_DOUBLE_EQ(cpu.MeasureClock(), 2000.0) << "10^9 cycles in 500 ms";
  EXPECT_EQ(clock.NowNanoseconds(), 1500'000'000u) << "the measuring wait is half a second";
  EXPECT_DOUBLE_EQ(cpu.MeasureClock(), 2000.0);
  EXPECT_EQ(probe.counterReads, 2) << "the second request answers the kept value";
  EXPECT_TRUE(cpu.Record().clockMeasured);

  // A switched-off counter is as good as none: the clock is 0 and the counter is never read.
  FakeProbe switchedOff = Intel(kTsc | kMmx | kSse);
  CpuIdentifier off(switchedOff);
  (void)off.Identify();
  const uint8_t switches[4] = {0, 1, 0, 1};
  off.ApplyFeatureSwitches(switches);
  EXPECT_EQ(std::tuple(off.Record().tsc, off.Record().mmx, off.Record().sse),
            std::tuple(false, true, false))
      << "only the switches that are 0 clear their flag";
  EXPECT_EQ(off.MeasureClock(), 0.0);
  EXPECT_EQ(switchedOff.counterReads, 0);
}

// A sleep that overruns its half second: the cycles are counted over the time that really passed.
TEST(CpuIdentifier, ClockCountsAnOverlongSleepWhole) {
  class OversleepingClock final : public host::ClockSource {
   public:
    uint64_t NowNanoseconds() override { return inner.NowNanoseconds(); }
    void Sleep(uint32_t ms) override { inner.AdvanceMilliseconds(ms + 100); }
    bool MovesOnItsOwn() const override { return false; }
    host::VirtualClock inner;
  } clock;
  ScopedGlobal<host::ClockSource> useClock(&clock);
  FakeProbe probe = Intel(kTsc);
  probe.counter = {0, 1'200'000'000ull};
  CpuIdentifier cpu(probe);
  (void)cpu.Identify();
  EXPECT_DOUBLE_EQ(cpu.MeasureClock(), 2000.0) << "1.2 x 10^9 cycles in 600 ms";
}

// The process-wide identification forwards to the identifier above; its MMX switch also clears
// the kernel set's flag.
TEST(CpuIdentification, TheMmxSwitchClearsTheKernelsFlag) {
  ScopedMmxFlag keepFlag(true);
  FakeProbe probe = Intel(kTsc | kMmx);
  ResetCpuIdentification(&probe);
  EXPECT_EQ(IdentifyCpu(), kCpuIdentified);
  const uint8_t switches[4] = {1, 0, 1, 1};
  ApplyCpuFeatureSwitches(switches);
  EXPECT_FALSE(MmxEnabled());
  EXPECT_FALSE(TheCpuRecord().mmx);
  ResetCpuIdentification(nullptr);
}

// A 1920x1080 primary and a 2560x1440 monitor to its right; each loses 40 rows to a panel. A
// place that fits, a centred window and one too large for its monitor or for every one are the
// window placement and application start tests'.
TEST(MonitorPlacementTest, PlacesOnTheNearestMonitorThatHoldsTheWindow) {
  host::HeadlessBackend backend;
  ScopedGlobal<host::Backend> use{&backend};
  backend.SetDesktop({.width = 1920,
                      .height = 1080,
                      .bitsPerPixel = 32,
                      .monitors = {{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}},
                                   {{1920, 0, 4480, 1440}, {1920, 0, 4480, 1400}}}});
  MonitorList list;
  struct Case {
    const char* what;
    int32_t x, y, w, h;
    bool force, centre;
    int32_t result, placedX, placedY;
  };
  const Case cases[] = {
      {"touching the right and bottom edges", 3680, 800, 800, 600, false, false, 0, 3680, 800},
      {"one column past them", 3681, 800, 800, 600, false, false, 1, 1920, 0},
      {"off every monitor: the closest one", 9000, 100, 100, 100, false, false, 1, 1920, 0},
      {"empty width", 7, 8, 0, 100, false, false, -1, 7, 8},
  };
  for (const Case& c : cases) {
    int32_t x = c.x, y = c.y;
    const int32_t result = list.PlaceWindow(&x, &y, c.w, c.h, c.force, c.centre);
    EXPECT_EQ(std::tuple(result, x, y), std::tuple(c.result, c.placedX, c.placedY)) << c.what;
  }

  MonitorList empty(std::vector<MonitorFacts>{});
  int32_t x = 5, y = 5;
  EXPECT_EQ(empty.PlaceWindow(&x, &y, 100, 100, true, true), -1);
  EXPECT_EQ(x, 5);
  EXPECT_EQ(empty.FindMonitorFitting(1, 1), kNoMonitor);
}

TEST(MonitorNumberingTest, IdenticalMonitorsAreNumberedPastTen) {
  MonitorFacts card;
  card.bounds = {0, 0, 640, 480};
  card.description = "Card";
  std::vector<MonitorFacts> facts(12, card);
  card.description = "Other";
  facts.insert(facts.begin() + 3, card);
  MonitorList list(facts);
  ASSERT_EQ(list.GetCount(), 13u);
  EXPECT_EQ(list.Records()[0].description, "Card[1]");
  EXPECT_EQ(list.Records()[3].description, "Other");
  EXPECT_EQ(list.Records()[3].duplicateNumber, MonitorRecord::kNotNumbered);
  EXPECT_EQ(list.Records()[10].description, "Card[10]");
  EXPECT_EQ(list.Records()[12].duplicateNumber, 12);
}

// The same state loaded into the standard engine checks the recurrence and the tempering.
std::mt19937 StandardEngineWithLcgSeed(uint32_t seed) {
  std::ostringstream words;
  uint32_t x = seed;
  for (int i = 0; i < 624; ++i) {
    uint32_t word = x & 0xffff0000u;
    x = 69069 * x + 1;
    word |= x >> 16;
    x = 69069 * x + 1;
    words << word << ' ';
  }
  words << 624;
  std::mt19937 engine;
  std::istringstream in(words.str());
  in >> engine;
  return engine;
}

// Across regenerations of the state; an unseeded twister draws as if seeded with 4357.
TEST(MersenneTwister, MatchesTheRecurrence) {
  MersenneTwister seeded;
  seeded.Seed(20061206);
  MersenneTwister unseeded;
  std::mt19937 reference = StandardEngineWithLcgSeed(20061206);
  std::mt19937 reference4357 = StandardEngineWithLcgSeed(4357);
  for (int i = 0; i < 2000; ++i) {
    ASSERT_EQ(seeded.Next(), reference()) << "draw " << i;
    ASSERT_EQ(unseeded.Next(), reference4357()) << "unseeded draw " << i;
  }
}

TEST(BitSet, AllSetLooksOnlyBelowTheBitCount) {
  for (uint32_t size : {8u, 9u}) {
    BitSet bits;
    ASSERT_EQ(bits.Allocate(size), kBitSetDone);
    for (uint32_t i = 0; i < size - 1; ++i) (void)bits.Set(i, true);
    EXPECT_FALSE(bits.IsAllSet()) << size;
    (void)bits.Set(size - 1, true);
    EXPECT_TRUE(bits.IsAllSet()) << size;
  }
  EXPECT_FALSE(BitSet().IsAllSet());
}

// Values of the generator worked out apart from this code.
TEST(SubtractiveRandom, GivesTheGeneratorsNumbers) {
  struct Case {
    int32_t seed;
    uint32_t raw[3];
    int32_t afterRemix[3];
  } cases[] = {
      {12345, {434623796, 402642582, 485091115}, {983, 359, 683}},
      {INT32_MIN, {937200263, 752338786, 755307507}, {407, 914, 515}},  // wraps, never overflows
  };
  for (const Case& c : cases) {
    SubtractiveRandom r;
    r.Seed(c.seed);
    // A range of 2^32 - 1 (a negative n) gives the numbers themselves.
    for (uint32_t v : c.raw) EXPECT_EQ(r.Draw(0xFFFFFFFF), static_cast<int32_t>(v)) << c.seed;
    EXPECT_EQ(r.Draw(0), 0) << "does not advance";
    for (int i = 0; i < 57; ++i) r.Draw(1000);
    for (int32_t v : c.afterRemix) EXPECT_EQ(r.Draw(1000), v) << c.seed;
    // A raw draw is the number itself; a ranged one takes it modulo its range.
    SubtractiveRandom raw, ranged;
    raw.Seed(c.seed), ranged.Seed(c.seed);
    EXPECT_EQ(raw.DrawRaw(), int32_t(c.raw[0]));
    EXPECT_EQ(ranged.Draw(1000), int32_t(c.raw[0] % 1000));
  }
}

// "表" is 0x95 0x5C: its trail byte looks like a backslash.
const std::string kHyo = "\x95\x5C";

TEST(BuildAbsolutePath, StepsJoinsAndRefuses) {
  struct Case {
    std::string path;
    std::string base;
    int result;
    std::string expected;
  };
  const Case cases[] = {
      {"../a.txt", "D:\\GAME\\", kPathJoined, "D:\\a.txt"},
      {"../../a.txt", "D:\\GAME\\", kPathBuildFailed, ""},
      {"..x/y", "D:\\GAME\\", kPathJoined, "D:\\GAME\\..x\\y"},
      {"a", "", kPathBuildFailed, ""},
      {"C:/abs/x", "D:\\GAME\\", kPathWasAbsolute, "C:/abs/x"},
      {"../../x", "\\\\host\\share\\", kPathBuildFailed, ""},
      // Trail bytes are never separators: not cut by "..", not turned from '/'.
      {"../b", "D:\\" + kHyo + "\\", kPathJoined, "D:\\b"},
      {kHyo + "/a", "D:\\", kPathJoined, "D:\\" + kHyo + "\\a"},
      {"\x95/x", "D:\\", kPathJoined, "D:\\\x95/x"},
  };
  for (const Case& c : cases) {
    std::string out = "unchanged";
    EXPECT_EQ(BuildAbsolutePath(out, c.path, &c.base), c.result) << c.path << " on " << c.base;
    // A failure leaves the output alone.
    EXPECT_EQ(out, c.result == kPathBuildFailed ? "unchanged" : c.expected) << c.path;
  }
  std::string out;
  std::string base = "D:\\";
  EXPECT_EQ(BuildAbsolutePath(out, std::string(kMaxPath, 'a'), &base), kPathBuildFailed);
  EXPECT_EQ(BuildAbsolutePath(out, std::string(kMaxPath - 4, 'a'), &base), kPathJoined);
}

host::FileChoice Chosen(std::string path, uint32_t filterIndex = 1) {
  return {true, std::move(path), filterIndex};
}

// Through a scripted dialog host, with a temporary application folder.
TEST(FileDialogsTest, CancelledOrUnfittingChoicesLeaveThePathAndFilterIndex) {
  test::GameFolder game;
  host::ScriptedDialogHost scripted;
  ScopedGlobal<host::DialogHost> use{&scripted};
  FileDialogs dialogs;
  char path[kDialogPathSize] = "old.dat";
  char title[kDialogFileTitleSize] = "old title";
  scripted.QueueFileChoice(Chosen("Z:\\a.txt", 3));
  ASSERT_TRUE(dialogs.OpenFile({}, "Open", path, title, nullptr, nullptr, false));
  std::strcpy(path, "old.dat");

  // Nothing queued: the host cancels.
  EXPECT_FALSE(dialogs.SaveFile({}, "Save", path, title, nullptr, nullptr, nullptr));
  EXPECT_STREQ(path, "old.dat");
  EXPECT_STREQ(title, "") << "the title is emptied whatever the answer";
  EXPECT_EQ(dialogs.GetFilterIndex(), 3u);

  // A cut path would name another file, so one too long for the buffer is refused, as is none.
  scripted.QueueFileChoice(Chosen("Z:\\" + std::string(kDialogPathSize - 3, 'a'), 1));
  EXPECT_FALSE(dialogs.OpenFile({}, "Open", path, title, nullptr, nullptr, false));
  EXPECT_STREQ(path, "old.dat");
  scripted.QueueFileChoice(Chosen("", 1));
  EXPECT_FALSE(dialogs.OpenFile({}, "Open", path, title, nullptr, nullptr, false));
  EXPECT_EQ(dialogs.GetFilterIndex(), 3u);

  // A 256-byte name fits the path but not the title, which is cut before the split character.
  std::string leaf;
  while (leaf.size() < 256) leaf += kHyo;
  scripted.QueueFileChoice(Chosen("Z:\\" + leaf, 1));
  ASSERT_TRUE(dialogs.OpenFile({}, "Open", path, title, nullptr, nullptr, false));
  EXPECT_EQ(std::string(path), "Z:\\" + leaf);
  EXPECT_EQ(std::string(title), leaf.substr(0, 254));

  std::strcpy(path, "old.dat");
  ScopedGlobal<host::DialogHost> none(nullptr);
  EXPECT_FALSE(dialogs.OpenFile({}, "Open", path, title, nullptr, nullptr, false));
  EXPECT_STREQ(path, "old.dat");
  EXPECT_FALSE(dialogs.OpenFile({}, "Open", nullptr, title, nullptr, nullptr, false));
}

}  // namespace
}  // namespace bw
