#include "platform/cpu_model_name.h"

#include <cstdio>
#include <cstring>

namespace bw {
namespace {

std::string Intel(const CpuRecord& r) {
  const int m = r.model;
  switch (r.family) {
    case 3:
      if (m == 4 && r.type == 0) return "RapidCAD coprocessor";
      if (r.type == 0) return "386DX";
      if (r.type == 2) return "386SX/CX/EX";
      if (r.type == 4) return "386SL";
      return "386 Family(Unknown)";
    case 4:
      switch (m) {
        case 0:
        case 1:
          return "486DX";
        case 2:
          return "486SX";
        case 3:
          return "486DX2";
        case 4:
          return "486SL";
        case 5:
          return "SX2";
        case 7:
          return "LightbackEnhanced DX2";
        case 8:
          return "DX4";
        case 9:
          return "486DX4(WB)";
        default:
          return "486 Family(Unknown)";
      }
    case 5: {
      const bool overDrive = r.type == 1;
      switch (m) {
        case 1:
        case 2:
          return overDrive ? "Pentium ODP" : "Pentium";
        case 4:
          return overDrive ? "Pentium MMX ODP" : "Pentium with MMX(P55C)";
        case 3:
          return "Pentium(P5 ODP)";
        case 5:
          return "Pentium(DX4 ODP)";
        case 7:
          return "Mobile Pentium(P54C)";
        case 8:
          return "Mobile Pentium MMX(low voltage P55)";
        default:
          return "Pentium Family(Unknown)";
      }
    }
    case 6:
      switch (m) {
        case 0:
          return "Pentium Pro(A-step sample)";
        case 1:
          return "Pentium Pro";
        case 3:
          return r.type == 1 ? "ODP" : "Pentium II(Klamath)";
        case 5:
          if (r.l2 == 0) return "Celeron(Convington)";
          if (r.l2 < 512) return "Celeron(Convinton)";
          if (r.l2 == 512) return r.type == 1 ? "Pentium II OverDrive" : "Pentium II(Deschutes)";
          return "Pentium II Xeon(Deschutes)";
        case 6:
          if (r.l2 == 256) return "Mobile Pentium II(Dixon)";
          return r.mobile ? "Mobile Celeron(Dixon-128K)" : "Celeron(Mendocino)";
        case 7:
          return r.l2 > 512 ? "Pentium III Xeon(Tanner)" : "Pentium III(Katmai)";
        case 8:
          if (r.brandIndex == 3) return "Pentium III Xeon(Cascades)";
          return r.l2 == 256 ? "Pentium III(Coppermine)" : "Celeron(Coppermine-128K)";
        case 9:
          return r.l2 >= 1024 ? "Mobile Pentium M(Banias)" : "Mobile Celeron(Banias)";
        case 10:
          return "Pentium III Xeon(Cascades)";
        case 11:
          if (r.brandIndex == 6) return "Mobile Pentium III-M(Tualatin)";
          if (r.brandIndex == 7) return "Mobile Celeron(Tualatin)";
          if (r.l2 == 512) return "Pentium III-S(Tualatin)";
          return r.brandIndex == 4 ? "Pentium III(Tualatin)" : "Celeron(Tualatin)";
        case 13:
          return "Mobile Pentium M(Dothan)";
        default:
          return "P6 Family(Unknown)";
      }
    case 7:
      return "Itanium(Merced)";
    case 15:
      if (r.extendedFamily == 1) return "Itanium 2(McKinley)";
      switch (m) {
        case 0:
        case 1:
          if (r.brandIndex == 12) return "Xeon MP(Foster MP)";
          if (r.brandIndex == 11 || r.brandIndex == 14) return "Xeon(Foster)";
          return r.l2 == 128 ? "Celeron(Willamette-128K)" : "Pentium 4(Willamette)";
        case 2:
          if (r.brandIndex == 12) return "Xeon MP(Gallatin)";
          if (r.brandIndex == 11) return r.l3 ? "Xeon(Gallatin)" : "Xeon(Prestonia)";
          if (r.brandIndex == 9) {
            if (r.l3) return "Pentium 4 Extreme Edition(Gallatin)";
            return r.htt ? "Pentium 4 HT(Northwood)" : "Pentium 4(Northwood)";
          }
          if (r.brandIndex == 14) return "Mobile Pentium 4-M(Northwood)";
          if (r.brandIndex == 15 && r.l2 == 256) return "Mobile Celeron(Northwood)";
          return "Celeron(Northwood-128K)";
        case 3:
        case 4:
          return "Pentium 4 HT(Prescott)";
        default:
          return "Pentium 4 Family(Unknown)";
      }
    default:
      return "Unknown Family";
  }
}

std::string AmdHammer(const CpuRecord& r) {
  const uint32_t id = r.extendedBrandId;
  const int low = int(id & 0xFF);
  char text[40];
  switch ((id >> 8) & 0xF) {
    case 0:
      std::snprintf(text, sizeof text, "Engineering Sample %d", low);
      break;
    case 1:
      std::snprintf(text, sizeof text, "Athlon 64 %d00+", low + 22);
      break;
    case 2:
      std::snprintf(text, sizeof text, "Mobile Athlon 64 %d00+", low + 22);
      break;
    case 3:
      std::snprintf(text, sizeof text, "Opteron UP 1%d", 2 * low + 38);
      break;
    case 4:
      std::snprintf(text, sizeof text, "Opteron DP 2%d", 2 * low + 38);
      break;
    case 5:
      std::snprintf(text, sizeof text, "Opteron MP 8%d", 2 * low + 38);
      break;
    case 9:
      std::snprintf(text, sizeof text, "Athlon 64 FX-%d", low + 24);
      break;
    default:
      std::snprintf(text, sizeof text, "Hammer");
      break;
  }
  const char* core = r.model < 4 ? "(ClawHammer)" : r.model == 5 ? "(SledgeHammer)" : "(Unknown)";
  return std::string(text) + core;
}

std::string Amd(const CpuRecord& r) {
  const int m = r.model;
  switch (r.family) {
    case 4:
      switch (m) {
        case 3:
          return "486DX2/DX4 (2xWT)";
        case 7:
          return "486DX2/DX2 (2xWB)";
        case 8:
          return "486DX4/5x86 (3xWT)";
        case 9:
          return "486DX4 SV8B (3xWB)";
        case 14:
          return "5x86 (4xWT)";
        case 15:
          return "5x86 (4xWB)";
        default:
          return "486 Family(Unknown)";
      }
    case 5:
      switch (m) {
        case 0:
        case 1:
        case 2:
        case 3:
          return "K5";
        case 6:
        case 7:
          return "K6";
        case 8:
          return "K6-2(Chompers)";
        case 9:
          return "K6-III(Sharptooth)";
        case 13:
          return r.l2 >= 256 ? "K6-III+" : "K6-2+";
        case 4:
        case 5:
          return "K5/K6 Family(Unknown)";
        default:
          return "K6 Family(Unknown)";
      }
    case 6:
      switch (m) {
        case 1:
          return "Athlon(K7)";
        case 2:
          return "Athlon(K75)";
        case 3:
          return "Duron(Spitfire)";
        case 4:
          return "Athlon(ThunderBird)";
        case 6:
          if (r.mobile) return r.l2 == 64 ? "Mobile Duron(Palomino)" : "Mobile Athlon 4(Palomino)";
          if (r.l2 == 64) return "Duron(Palomino)";
          if (!r.hasBrand) return "Athlon XP/MP(Palomino)";
          return r.multiprocessor ? "Athlon MP(Palomino)" : "Athlon XP(Palomino)";
        case 7:
          return r.mobile ? "Mobile Duron(Morgan)" : "Duron(Morgan)";
        case 8:
          if (r.l2 == 64) return "Duron(Applebred)";
          if (r.mobile) return "Mobile Athlon XP-M(Thoroughbred)";
          return r.multiprocessor ? "Athlon MP(Thoroughbred)" : "Athlon XP(Thoroughbred)";
        case 10:
          if (r.mobile) return "Mobile Athlon XP-M(Barton)";
          if (r.multiprocessor) return "Athlon MP(Barton)";
          return r.l2 == 256 ? "Athlon XP(Thorton)" : "Athlon XP(Barton)";
        default:
          return "Athlon Family(Unknown)";
      }
    case 15:
      return r.longMode ? AmdHammer(r) : "Athlon XP(Paris)";
    default:
      return "Unknown Family";
  }
}

std::string Cyrix(const CpuRecord& r) {
  switch (r.family) {
    case 4:
      if (r.model == 4) return "MediaGX/GXm/GXi";
      return r.model == 9 ? "5x86" : "5x86 Family(Unknown)";
    case 5:
      if (r.model == 2) return "6x86 / 6x86L";
      return r.model == 4 ? "MediaGX-MMX" : "6x86 Family(Unknown)";
    case 6:
      if (r.model == 0) return "6x86MX / M-II";
      return r.model == 5 ? "VIA Cyrix III(Joshua)" : "6x86MX / M-II Family(Unknown)";
    default:
      return "Unknown Family";
  }
}

std::string Centaur(const CpuRecord& r) {
  const int m = r.model, s = r.stepping;
  if (r.family == 5) {
    if (m == 4) return "WinChip C6";
    if (m == 8) return s >= 7 && s <= 9 ? "WinChip 2A" : s >= 10 ? "WinChip 2B" : "WinChip 2";
    return m == 9 ? "WinChip 3" : "IDT C6 Family(Unknown)";
  }
  if (r.family == 6) {
    switch (m) {
      case 6:
        return "VIA Cyrix III(Samuel)";
      case 7:
        return s < 8 ? "VIA C3(Samuel2)" : "VIA C3(Ezra)";
      case 8:
        return "VIA C3(Ezra-T)";
      case 9:
        return "VIA C3(Nehemiah)";
      default:
        return "VIA C3 Family(Unknown)";
    }
  }
  return "Unknown Family";
}

std::string Transmeta(const CpuRecord& r, CpuProbe& probe) {
  if (r.family == 15) return "Efficeon (Astro, TM8000)";
  uint32_t revision = 0;
  if (probe.Cpuid(0x80860000u).eax >= 0x80860001u) revision = probe.Cpuid(0x80860001u).ebx;
  if (r.l2 == 0) return "Crusoe TM3200";
  if (revision >= 0x02000000u) return r.l2 == 256 ? "Crusoe TM5500" : "Crusoe TM5800";
  return r.l2 == 256 ? "Crusoe TM5400" : "Crusoe TM5600";
}

std::string ByPlatformType(uint32_t type) {
  struct Entry {
    uint32_t type;
    const char* name;
  };
  static constexpr Entry kTypes[] = {
      {386, "Intel 386"},
      {486, "Intel 486"},
      {601, "PowerPC 601"},
      {603, "PowerPC 603"},
      {604, "PowerPC 604"},
      {620, "PowerPC 620"},
      {2000, "MIPS R2000"},
      {3000, "MIPS R3000"},
      {4000, "MIPS R4000"},
      {103, "SH3"},
      {104, "SH4"},
      {10003, "HITACHI SH3"},
      {10004, "HITACHI SH3E"},
      {10005, "HITACHI SH4"},
      {21064, "Alpha 21064"},
      {21066, "Alpha 21066"},
      {21164, "Alpha 21164"},
      {1824, "ARM 720"},
      {2080, "ARM 820"},
      {2336, "ARM 920"},
      {2577, "StrongARM"},
      {70001, "ARM 7TDMI"},
  };
  for (const Entry& e : kTypes) {
    if (e.type == type) return e.name;
  }
  return "Unknown";
}

}  // namespace

std::string NameCpuModel(const CpuRecord& r, CpuProbe& probe) {
  const std::string v = r.vendor;
  if (v == "GenuineIntel") return "Intel " + Intel(r);
  if (v == "AuthenticAMD") return "AMD " + Amd(r);
  if (v == "UMC UMC UMC ") {
    if (r.family == 4 && r.model == 1) return "UMC U5D (486DX)";
    if (r.family == 4 && r.model == 2) return "UMC U5S (486SX)";
    return "UMC Unknown Family";
  }
  if (v == "CyrixInstead") return "Cyrix " + Cyrix(r);
  if (v == "NexGenDriven") {
    if (r.family == 5) return "NexGen Nx586";
    return r.family == 6 ? "NexGen Nx686" : "NexGen Unknown Family";
  }
  if (v == "CentaurHauls") return "Centaur " + Centaur(r);
  if (v == "RiseRiseRise") {
    if (r.family != 5) return "Rise Unknown Family";
    if (r.model == 0) return "Rise mP6(iDragon)";
    return r.model == 2 || r.model == 8 || r.model == 9 ? "Rise mP6(iDragon II)"
                                                        : "Rise mP6 Family(Unknown)";
  }
  if (v == "GenuineTMx86") return "Transmeta " + Transmeta(r, probe);
  if (v == "SiS SiS SiS ") return "SiS 55x";
  if (v == "Geode by NSC") {
    return r.family == 5 && r.model == 4 ? "NSC Geode GXM/GXLV/GX1" : "NSC Geode CPU(Unknown)";
  }
  if (v == "Compaq FX!32") return "Alpha";
  if (v == "ConnectixCPU") return "PowerPC";
  return ByPlatformType(probe.PlatformProcessorType());
}

}  // namespace bw
