// The main-script interpreter, and the same scripts translated to machine code, beside Lua 5.4
// (the Debian liblua5.4 interpreter, called through its C API once a run) on the same integer
// loops: a sieve, an iterative Fibonacci and a nested-loop sum. Our scripts are written as the
// script compiler writes them: each instruction's variable operands are copied into its operand
// words first. The Lua side is written as Lua is written: numeric for loops, 64-bit integers
// reduced to 32 bits only where the result is read. Both sieves start from a table of flags at
// its full size, cleared outside the timing. Before any timing, each side runs each loop once and
// the three answers (interpreted, translated, Lua) must be equal, else the program fails.
// Throughput is loop iterations per second. Prints per loop "ratio <name>: <interpreted/Lua>",
// "ratio <name> translated: <translated/Lua>" and "self <name> translated/interpreted".
#include <benchmark/benchmark.h>
#include <lua5.4/lua.hpp>

#include <cstdio>
#include <memory>
#include <string>

#include "bench_ratio.h"
#include "lib/sob/sob_assembler.h"
#include "script/script_vm.h"

namespace {

constexpr int kSieveSize = 100000;
constexpr int kFibonacciSteps = 1000000;
constexpr int kNestedSide = 1000;

struct Program {
  const char* name;
  const char* script;  // a .sob0 body; the result goes to host:0
  const char* lua;     // defines run(), which returns the result
  int64_t iterations;  // loop turns per run
  uint32_t expected;
};

const Program kPrograms[] = {
    {"sieve",
     " set 0, count\n set 2, i\n"
     "outer:\n mov i, t1.1\nt1: lt 0, 100000, c\n mov c, j1.1\nj1: jz 0, done\n"
     " mov i, a1.1\na1: shl 0, 2, off\n mov off, a2.1\na2: add 0, flags, addr\n"
     " deref addr, v\n mov v, j2.1\nj2: jz 0, prime\n jmp next\n"
     "prime:\n inc count\n mov i, m1.1\n mov i, m1.2\nm1: add 0, 0, j\n"
     "inner:\n mov j, t2.1\nt2: lt 0, 100000, c\n mov c, j3.1\nj3: jz 0, next\n"
     " mov j, a3.1\na3: shl 0, 2, off\n mov off, a4.1\na4: add 0, flags, addr\n stind 1, addr\n"
     " mov j, a5.1\n mov i, a5.2\na5: add 0, 0, j\n jmp inner\n"
     "next:\n inc i\n jmp outer\n"
     "done:\n mov count, host:0\n ret\n"
     "count: .word 0\ni: .word 0\nj: .word 0\nc: .word 0\noff: .word 0\naddr: .word 0\nv: .word 0\n"
     "flags: .space 400000\n",
     "local flags = {}\n"
     "function reset()\n"
     "  for i = 1, 99999 do flags[i] = false end\n"
     "end\n"
     "function run()\n"
     "  local count = 0\n"
     "  for i = 2, 99999 do\n"
     "    if not flags[i] then\n"
     "      count = count + 1\n"
     "      for j = i + i, 99999, i do flags[j] = true end\n"
     "    end\n"
     "  end\n"
     "  return count\n"
     "end\n",
     // The outer loop's turns plus the inner loop's marks.
     kSieveSize - 2 + 241719, 9592},
    {"fibonacci",
     " set 0, a\n set 1, b\n set 0, k\n"
     "loop:\n mov k, t.1\nt: lt 0, 1000000, c\n mov c, j.1\nj: jz 0, done\n"
     " mov a, s.1\n mov b, s.2\ns: add 0, 0, n\n mov b, a\n mov n, b\n inc k\n jmp loop\n"
     "done:\n mov a, host:0\n ret\n"
     "a: .word 0\nb: .word 0\nn: .word 0\nk: .word 0\nc: .word 0\n",
     "function run()\n"
     "  local a, b = 0, 1\n"
     "  for k = 1, 1000000 do a, b = b, a + b end\n"
     "  return a & 0xFFFFFFFF\n"
     "end\n",
     kFibonacciSteps, 0},
    {"nested_sum",
     " set 0, sum\n set 0, i\n"
     "outer:\n mov i, t1.1\nt1: lt 0, 1000, c\n mov c, j1.1\nj1: jz 0, done\n set 0, j\n"
     "inner:\n mov j, t2.1\nt2: lt 0, 1000, c\n mov c, j2.1\nj2: jz 0, next\n"
     " mov i, x.1\n mov j, x.2\nx: xor 0, 0, v\n mov sum, s.1\n mov v, s.2\ns: add 0, 0, sum\n"
     " inc j\n jmp inner\n"
     "next:\n inc i\n jmp outer\n"
     "done:\n mov sum, host:0\n ret\n"
     "sum: .word 0\ni: .word 0\nj: .word 0\nc: .word 0\nv: .word 0\n",
     "function run()\n"
     "  local sum = 0\n"
     "  for i = 0, 999 do\n"
     "    for j = 0, 999 do sum = sum + (i ~ j) end\n"
     "  end\n"
     "  return sum\n"
     "end\n",
     int64_t{kNestedSide} * kNestedSide, 0},
};

const Program& Find(const std::string& name) {
  for (const Program& p : kPrograms) {
    if (name == p.name) return p;
  }
  std::abort();
}

struct Loaded {
  bw::MemoryScriptFileSource files;
  std::unique_ptr<bw::ScriptVm> vm;
  uint32_t entry = 0;
};

std::unique_ptr<Loaded> LoadOurs(const Program& p, bool translate) {
  auto l = std::make_unique<Loaded>();
  bw::sob::AssembleResult r = bw::sob::Assemble(std::string(".sob0\n") + p.script);
  if (!r.ok) {
    std::fprintf(stderr, "%s: %s\n", p.name, r.error.c_str());
    std::abort();
  }
  l->files.Put("B.SOB", r.bytes);
  l->vm = std::make_unique<bw::ScriptVm>(&l->files, 16u << 20);
  if (translate && l->vm->Interpreter().EnableJit(true) != bw::kJitDone) return nullptr;
  if (l->vm->LoadScript("B.SOB") != 0) std::abort();
  if (translate && !l->vm->LoadedScripts().back()->translation) return nullptr;
  l->entry = l->vm->GetCodeBase();
  l->vm->Interpreter().ResetStack();
  return l;
}

uint32_t RunOurs(Loaded& l) {
  if (l.vm->CallAt(l.entry) != bw::kRunEnded) std::abort();
  uint32_t v = 0;
  l.vm->GetMemory().Read32(l.vm->HostVariableAddress(0), v);
  return v;
}

void BM_Script(benchmark::State& state, const char* name, bool translate) {
  const Program& p = Find(name);
  auto l = LoadOurs(p, translate);
  if (!l) {
    state.SkipWithError("no translation on this machine");
    return;
  }
  uint32_t flags = 0;
  if (std::string(name) == "sieve")
    flags = l->entry + static_cast<uint32_t>(l->vm->LoadedScripts().back()->codeSize) - 400000;
  uint32_t result = 0;
  for (auto _ : state) {
    if (flags) {
      state.PauseTiming();
      l->vm->GetMemory().Fill(flags, 0, 400000);
      state.ResumeTiming();
    }
    result = RunOurs(*l);
  }
  if (p.expected && result != p.expected) state.SkipWithError("wrong result");
  state.counters["result"] = result;
  state.SetItemsProcessed(state.iterations() * p.iterations);
}

void BM_Lua(benchmark::State& state, const char* name) {
  const Program& p = Find(name);
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  if (luaL_dostring(L, p.lua) != LUA_OK) {
    state.SkipWithError(lua_tostring(L, -1));
    lua_close(L);
    return;
  }
  lua_Integer result = 0;
  lua_getglobal(L, "reset");
  const bool reset = lua_isfunction(L, -1);
  lua_pop(L, 1);
  for (auto _ : state) {
    if (reset) {
      state.PauseTiming();
      lua_getglobal(L, "reset");
      lua_call(L, 0, 0);
      state.ResumeTiming();
    }
    lua_getglobal(L, "run");
    lua_call(L, 0, 1);
    result = lua_tointeger(L, -1);
    lua_pop(L, 1);
  }
  if (p.expected && result != p.expected) state.SkipWithError("wrong result");
  state.counters["result"] = static_cast<double>(result);
  state.SetItemsProcessed(state.iterations() * p.iterations);
  lua_close(L);
}

// One untimed run of each side; false when either fails or they disagree.
bool ResultsAgree(const Program& p) {
  auto l = LoadOurs(p, false);
  const uint32_t ours = RunOurs(*l);
  auto t = LoadOurs(p, true);
  if (t && RunOurs(*t) != ours) {
    std::printf("%s: translated and interpreted differ\n", p.name);
    return false;
  }
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  bool ok = luaL_dostring(L, p.lua) == LUA_OK;
  lua_getglobal(L, "reset");
  if (ok && lua_isfunction(L, -1)) ok = lua_pcall(L, 0, 0, 0) == LUA_OK;
  lua_settop(L, 0);
  lua_getglobal(L, "run");
  ok = ok && lua_pcall(L, 0, 1, 0) == LUA_OK;
  const lua_Integer peer = ok ? lua_tointeger(L, -1) : -1;
  lua_close(L);
  std::printf("%s: ours %u, Lua %lld%s\n", p.name, ours, static_cast<long long>(peer),
              ok && peer == lua_Integer{ours} ? "" : " (they differ)");
  return ok && peer == lua_Integer{ours};
}

}  // namespace

int main(int argc, char** argv) {
  std::printf(
      "peer: %s (Debian liblua5.4), one call of run() per iteration: numeric for loops "
      "on its integers, the sieve's table cleared untimed\n",
      LUA_RELEASE);
  bool agree = true;
  for (const Program& p : kPrograms) agree = ResultsAgree(p) && agree;
  if (!agree) return 1;
  for (const Program& p : kPrograms) {
    benchmark::RegisterBenchmark((std::string("script/") + p.name).c_str(), BM_Script, p.name,
                                 false);
    benchmark::RegisterBenchmark((std::string("translated/") + p.name).c_str(), BM_Script, p.name,
                                 true);
    benchmark::RegisterBenchmark((std::string("lua/") + p.name).c_str(), BM_Lua, p.name);
  }
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const Program& p : kPrograms) {
    reporter.PrintRatio(p.name, std::string("script/") + p.name, std::string("lua/") + p.name);
    reporter.PrintRatio(std::string(p.name) + " translated", std::string("translated/") + p.name,
                        std::string("lua/") + p.name);
    reporter.PrintSelf(std::string(p.name) + " translated/interpreted",
                       std::string("translated/") + p.name, std::string("script/") + p.name);
  }
  benchmark::Shutdown();
  return 0;
}
