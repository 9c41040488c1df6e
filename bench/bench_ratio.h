// The console reporter every benchmark program shares: it keeps each run's throughput and time
// per iteration by benchmark name, so that a program can print its lines once all runs are done:
// "ratio <name>: <ours/peer>" where ours is set beside a peer (another library, or the plain way
// of doing the same work written here), "self <name>: <x/y>" where ours is set beside ours (cache
// on and off, vector and plain kernels, one path of the engine and another), "limit <name>: <x/y>"
// where ours is set beside a floor no implementation can pass (a memcpy of the output, reading the
// file, writing the frame once).
#pragma once

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace bw::bench {

// What one benchmark measured. A failed run keeps its message and no figures.
struct RunResult {
  double rate = 0;     // items_per_second or bytes_per_second; 0 when the run sets neither
  double time = 0;     // real time per iteration, in `unit`
  double seconds = 0;  // the same time in seconds, for comparing runs with different units
  const char* unit = "";
  std::string error;
};

// How a pair is compared: by throughput, or by real time per iteration (for programs that
// report absolute times, where the CPU time behind the rate counters is not what they mean).
enum class Compare { kRate, kTime };

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal. A coloured table ends each line with a reset code that would
  // otherwise open the first ratio line printed after it; in a file or a pipe nothing is coloured.
  RatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      // Aggregates of repetitions carry their own suffixed names and are not compared.
      if (run.run_type != Run::RT_Iteration) continue;
      RunResult result;
      if (run.error_occurred) {
        result.error = run.error_message.empty() ? "failed" : run.error_message;
      } else {
        for (const char* counter : {"items_per_second", "bytes_per_second"}) {
          auto it = run.counters.find(counter);
          if (it != run.counters.end()) result.rate = it->second.value;
        }
        result.time = run.GetAdjustedRealTime();
        result.seconds = result.time / benchmark::GetTimeUnitMultiplier(run.time_unit);
        result.unit = benchmark::GetTimeUnitString(run.time_unit);
      }
      Keep(run.benchmark_name(), run.repetition_index, std::move(result));
    }
  }

  // The result of a run that completed, or nullptr when it was filtered out or failed.
  const RunResult* Find(const std::string& name) const {
    auto it = results_.find(name);
    return it == results_.end() || !it->second.error.empty() ? nullptr : &it->second;
  }

  // Prints "ratio <label>: <ours/peer>", greater meaning ours is faster; or, when a side has
  // nothing to compare, a ratio line that says which side and why.
  void PrintRatio(const std::string& label, const std::string& ours, const std::string& peer,
                  Compare by = Compare::kRate) const {
    Print("ratio", label, ours, peer, by);
  }

  // "self <label>: <x/y>", greater meaning x is faster: two ways of ours.
  void PrintSelf(const std::string& label, const std::string& x, const std::string& y,
                 Compare by = Compare::kRate) const {
    Print("self", label, x, y, by);
  }

  // "limit <label>: <ours/floor>", greater meaning ours is faster: against work any way of doing
  // the task must at least do, so it stays below 1.0 however good ours is.
  void PrintLimit(const std::string& label, const std::string& ours, const std::string& floor,
                  Compare by = Compare::kRate) const {
    Print("limit", label, ours, floor, by);
  }

 private:
  void Print(const char* kind, const std::string& label, const std::string& ours,
             const std::string& peer, Compare by) const {
    std::string problem = Problem(ours, by);
    if (problem.empty()) problem = Problem(peer, by);
    if (!problem.empty()) {
      std::printf("%s %s: unavailable (%s)\n", kind, label.c_str(), problem.c_str());
      return;
    }
    const RunResult& o = results_.at(ours);
    const RunResult& p = results_.at(peer);
    double ratio = by == Compare::kRate ? o.rate / p.rate : p.seconds / o.seconds;
    std::printf("%s %s: %.2f\n", kind, label.c_str(), ratio);
  }

  // Why `name` cannot take part in a ratio, or "" when it can.
  std::string Problem(const std::string& name, Compare by) const {
    auto it = results_.find(name);
    if (it == results_.end()) return name + " did not run";
    const RunResult& r = it->second;
    if (!r.error.empty()) return name + " failed: " + r.error;
    if (by == Compare::kRate && r.rate <= 0) return name + " reported no throughput";
    if (by == Compare::kTime && r.seconds <= 0) return name + " reported no time";
    return "";
  }

  // With --benchmark_repetitions each side keeps its best repetition: a busy machine only ever
  // slows a run down, so the fastest one is the closest to what the code can do, for ours and the
  // peer alike. A failed repetition fails the benchmark.
  void Keep(const std::string& name, int64_t repetition, RunResult result) {
    auto it = results_.find(name);
    if (it == results_.end() || repetition == 0) {
      results_[name] = std::move(result);
      return;
    }
    RunResult& kept = it->second;
    if (!kept.error.empty()) return;
    if (!result.error.empty() || Faster(result, kept)) kept = std::move(result);
  }

  static bool Faster(const RunResult& a, const RunResult& b) {
    if (a.rate > 0 || b.rate > 0) return a.rate > b.rate;
    return a.seconds < b.seconds;
  }

  std::map<std::string, RunResult> results_;
};

}  // namespace bw::bench
