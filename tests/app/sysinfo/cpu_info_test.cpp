#include "app/sysinfo/cpu_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <map>

#include "graphics/pixel/mmx_flag.h"
#include "host/clock.h"

namespace bw {
namespace {

class FakeProbe : public CpuProbe {
 public:
  bool hasCpuid = true;
  std::map<uint32_t, CpuidRegisters> leaves;
  std::deque<uint64_t> counter;
  uint32_t platformType = 0;

  bool HasCpuid() override { return hasCpuid; }
  CpuidRegisters Cpuid(uint32_t leaf) override {
    auto it = leaves.find(leaf);
    return it == leaves.end() ? CpuidRegisters{} : it->second;
  }
  uint64_t ReadTimeStampCounter() override {
    uint64_t v = counter.front();
    counter.pop_front();
    return v;
  }
  uint32_t PlatformProcessorType() override { return platformType; }

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

TEST(CpuIdentifier, WithoutCpuidNamesByPlatformType) {
  FakeProbe probe;
  probe.hasCpuid = false;
  probe.platformType = 486;
  CpuIdentifier cpu(probe);
  EXPECT_EQ(cpu.Identify(), kCpuNoCpuid);
  EXPECT_FALSE(cpu.Record().mmx || cpu.Record().tsc || cpu.Record().fpu);
  EXPECT_EQ(cpu.Record().modelName, "Intel 486");
  EXPECT_EQ(cpu.Identify(), kCpuAlreadyIdentified);
  EXPECT_EQ(cpu.MeasureClock(), 0.0) << "no time-stamp counter";
}

TEST(CpuIdentifier, IntelCachesAndName) {
  FakeProbe probe;
  probe.Vendor("GenuineIntel", 2, 0x80000004u);
  probe.Signature(0, 6, 8, 3, /*brand index*/ 1 | 1 << 16, kTsc | kMmx | kSse | kHtt | 1);
  // Descriptor byte 0 is a count and is skipped; 0x08 code 16, 0x0C data 16, 0x41 L2 128.
  probe.leaves[2] = {0x0C080001u, 0, 0, 0x00000041u};
  const char brand[48] = "   Test Processor";
  for (uint32_t i = 0; i < 3; ++i) {
    CpuidRegisters r;
    std::memcpy(&r, brand + 16 * i, 16);
    probe.leaves[0x80000002u + i] = r;
  }
  CpuIdentifier cpu(probe);
  ASSERT_EQ(cpu.Identify(), kCpuIdentified);
  const CpuRecord& r = cpu.Record();
  EXPECT_STREQ(r.vendor, "GenuineIntel");
  EXPECT_EQ(r.l1Code, 16u);
  EXPECT_EQ(r.l1Data, 16u);
  EXPECT_EQ(r.l2, 128u);
  EXPECT_TRUE(r.mmx && r.sse && r.mmxPlus && r.fpu);
  EXPECT_FALSE(r.htt) << "one logical processor";
  EXPECT_EQ(r.brand, "Test Processor");
  EXPECT_EQ(r.modelName, "Intel Celeron(Coppermine-128K)");
}

TEST(CpuIdentifier, AmdHammerAndCacheLeaves) {
  FakeProbe probe;
  probe.Vendor("AuthenticAMD", 1, 0x80000006u);
  probe.Signature(0, 15, 3, 0, 0, kTsc | kMmx);
  probe.leaves[0x80000001u] = {0, 0x0116, 0, 1u << 29};
  probe.leaves[0x80000005u] = {0, 0, 64u << 24, 64u << 24};
  probe.leaves[0x80000006u] = {0, 0, 1024u << 16, 0};
  CpuIdentifier cpu(probe);
  ASSERT_EQ(cpu.Identify(), kCpuIdentified);
  EXPECT_EQ(cpu.Record().modelName, "AMD Athlon 64 4400+(ClawHammer)");
  EXPECT_EQ(cpu.Record().l1Data, 64u);
  EXPECT_EQ(cpu.Record().l2, 1024u);

  FakeProbe early;
  early.Vendor("AuthenticAMD", 1, 0x80000006u);
  early.Signature(0, 6, 3, 0, 0, 0);
  early.leaves[0x80000006u] = {0, 0, 1024u << 16, 0};
  CpuIdentifier duron(early);
  duron.Identify();
  EXPECT_EQ(duron.Record().l2, 64u) << "family 6 model 3 stepping 0 reports wrongly";
  EXPECT_EQ(duron.Record().modelName, "AMD Duron(Spitfire)");

  FakeProbe k6;
  k6.Vendor("CyrixInstead", 1, 0);
  k6.Signature(0, 5, 4, 0, 0, 0);
  CpuIdentifier cyrix(k6);
  cyrix.Identify();
  EXPECT_EQ(cyrix.Record().l1Code, 16u) << "family 5 without extended leaves";
  EXPECT_EQ(cyrix.Record().modelName, "Cyrix MediaGX-MMX");
}

TEST(CpuIdentifier, ClockCountsCyclesOverHalfASecond) {
  host::VirtualClock clock(1000);
  host::ScopedClock use(&clock);
  FakeProbe probe;
  probe.Vendor("GenuineIntel", 1, 0);
  probe.Signature(0, 15, 2, 0, 0, kTsc);
  probe.counter = {0xFFFFFFF0u, 1500000000u - 0x10u};  // the low 32 bits wrap
  CpuIdentifier cpu(probe);
  cpu.Identify();
  EXPECT_DOUBLE_EQ(cpu.MeasureClock(), 3000.0);
  EXPECT_EQ(host::GetTickCount(), 1500u) << "the wait went through the host clock";
  EXPECT_DOUBLE_EQ(cpu.MeasureClock(), 3000.0) << "cached";
}

TEST(CpuIdentifier, TheProcessSetsTheMmxFlag) {
  ScopedMmxFlag keep(false);
  const uint8_t first = IdentifyCpu();
  EXPECT_NE(first, kCpuNoCpuid);
  if (first == kCpuIdentified) {
    EXPECT_EQ(MmxEnabled(), TheCpuRecord().mmx);
#if defined(__x86_64__)
    EXPECT_TRUE(MmxEnabled());
#endif
  }
  EXPECT_EQ(IdentifyCpu(), kCpuAlreadyIdentified);
  EXPECT_FALSE(TheCpuRecord().modelName.empty());
}

}  // namespace
}  // namespace bw
