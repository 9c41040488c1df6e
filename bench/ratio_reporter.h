// The console reporter of every benchmark program: keeps each run's throughput (items or bytes per
// second) by name, so that the program can print "ratio <name>: <ours/peer throughput>" per pair.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace bw::bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      for (const char* counter : {"items_per_second", "bytes_per_second"}) {
        auto it = run.counters.find(counter);
        if (it != run.counters.end()) rate_[run.benchmark_name()] = it->second.value;
      }
    }
  }

  // Prints nothing when either side did not run or measured nothing.
  void PrintRatio(const std::string& name, const std::string& ours, const std::string& peer) const {
    auto o = rate_.find(ours);
    auto p = rate_.find(peer);
    if (o != rate_.end() && p != rate_.end() && o->second > 0 && p->second > 0) {
      std::printf("ratio %s: %.2f\n", name.c_str(), o->second / p->second);
    }
  }

 private:
  std::map<std::string, double> rate_;
};

}  // namespace bw::bench
