// Time to load and to save a loco protocol list of N protocols through the ini file, for N from 64
// to 16384. The complexity fit printed at the end shows whether the time per protocol stays the same
// as the list grows (a profile damaged into thousands of entries must not freeze the program).

#include "moba/MoBaIniFile.h"
#include "moba/MoBaProtocolLists.h"

#include <benchmark/benchmark.h>

namespace {

std::string profileText(int count)
{
    TMoBaLocoProtocolList list;
    for (int i = 0; i < count; ++i) {
        auto p = std::make_unique<TMoBaLocoProtocol>();
        p->Assign(*MoBaLocoProtocols->Items(i % MoBaLocoProtocols->Count()));
        list.Add(std::move(p));
    }
    TMoBaIniFile ini("");
    list.SaveToIniFile(ini);
    return ini.Text();
}

void BM_LoadProtocols(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const std::string text = profileText(count);
    for (auto _ : state) {
        TMoBaIniFile ini("");
        ini.SetText(text);
        TMoBaLocoProtocolList list;
        list.LoadFromIniFile(ini);
        benchmark::DoNotOptimize(list.Count());
    }
    state.SetComplexityN(count);
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_LoadProtocols)->RangeMultiplier(4)->Range(64, 16384)->Complexity(benchmark::oN);

void BM_SaveProtocols(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const std::string text = profileText(count);
    TMoBaIniFile source("");
    source.SetText(text);
    TMoBaLocoProtocolList list;
    list.LoadFromIniFile(source);
    for (auto _ : state) {
        TMoBaIniFile ini("");
        ini.SetText(text);  // saving over a file that holds the same list
        list.SaveToIniFile(ini);
        benchmark::DoNotOptimize(ini.Text().size());
    }
    state.SetComplexityN(count);
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_SaveProtocols)->RangeMultiplier(4)->Range(64, 16384)->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
