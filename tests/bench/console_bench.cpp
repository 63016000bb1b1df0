// Console appends per second, with one writer and with eight at once.
#include <benchmark/benchmark.h>

#include "console/console.h"
#include "harness/host.h"

namespace {

void BM_ConsoleAppendLine(benchmark::State& state) {
  // The simulated debug channel would echo every append to standard output.
  sim::host.echo = false;
  for (auto _ : state) {
    beginConsoleLine();
    appendText(u"1.0  ");
    appendLine(u"192.168.10.254");
    endConsoleLine();
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_ConsoleAppendLine)->Threads(1)->Threads(8)->UseRealTime();

}  // namespace
