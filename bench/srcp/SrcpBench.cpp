// Lines parsed per second for a mix of INFO GL, GA, FB and POWER lines, next to merely splitting
// the same lines into their blank-separated fields; lines built per second for SET GL and SET GA,
// next to formatting the same fields with snprintf. Prints the ratios measured in this run and
// whether they meet their goals: parsing at most 2.0 times the split, every build at most 1.0
// times snprintf. The ratios use the processor time per line (the machine is shared: wall time
// includes the time other processes took), the smallest of five repetitions of each.

#include "srcp/SRCPCmd.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

const std::vector<std::string>& infoLines()
{
    static const std::vector<std::string> lines = {
        "1796859510.301 100 INFO 1 GL 3 1 50 100 1 0 0 0 0",
        "1796859510.302 100 INFO 1 GA 12 1 1",
        "1796859510.303 100 INFO 1 FB 17 1",
        "1796859510.304 100 INFO 1 POWER ON",
        "1796859510.305 100 INFO 1 GL 24 0 12 28 0 1 0 0 1 0 0 0 0",
        "1796859510.306 100 INFO 1 GA 5 0 0",
        "1796859510.307 100 INFO 8 FB 112 0",
        "1796859510.308 100 INFO 1 POWER OFF",
    };
    return lines;
}

void BM_ParseInfoLines(benchmark::State& state)
{
    const auto& lines = infoLines();
    TSRCPCmd cmd;
    cmd.SetSRCPVersion(cv082);
    std::size_t i = 0;
    for (auto _ : state) {
        bool ok = cmd.ExamineAnswer(lines[i++ % lines.size()]);
        benchmark::DoNotOptimize(ok);
    }
    state.SetItemsProcessed(state.iterations());
}

// The baseline: the fields of the line as strings, the container reused between lines.
void BM_SplitIntoFields(benchmark::State& state)
{
    const auto& lines = infoLines();
    std::vector<std::string> fields;
    fields.reserve(16);
    std::size_t i = 0;
    for (auto _ : state) {
        std::string_view line = lines[i++ % lines.size()];
        fields.clear();
        while (!line.empty()) {
            auto blank = line.find(' ');
            fields.emplace_back(line.substr(0, blank));
            line = blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
        }
        benchmark::DoNotOptimize(fields.data());
    }
    state.SetItemsProcessed(state.iterations());
}

// A stricter baseline: views into the line, no copies at all.
void BM_SplitIntoViews(benchmark::State& state)
{
    const auto& lines = infoLines();
    std::vector<std::string_view> fields;
    fields.reserve(16);
    std::size_t i = 0;
    for (auto _ : state) {
        std::string_view line = lines[i++ % lines.size()];
        fields.clear();
        while (!line.empty()) {
            auto blank = line.find(' ');
            fields.push_back(line.substr(0, blank));
            line = blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
        }
        benchmark::DoNotOptimize(fields.data());
    }
    state.SetItemsProcessed(state.iterations());
}

// Built as a device group does it: reset, version, group, type, bus, fields, line.
void BM_BuildSetGL(benchmark::State& state)
{
    TSRCPCmd cmd;
    int speed = 0;
    for (auto _ : state) {
        cmd.SetInvalid();
        cmd.SetSRCPVersion(cv082);
        cmd.SetDeviceGroup(dgLoco);
        cmd.SetCommandType(ctSet);
        cmd.SetBus(1);
        cmd.SetDevAddress(24);
        TSRCPDeviceLoco& loco = cmd.DevLoco();
        loco.SetDriveMode(dmForward);
        loco.SetSpeed(speed++ & 127);
        loco.SetMaxSpeed(128);
        loco.SetFunctionCount(5);
        loco.SetFunctions(0, 1);
        benchmark::DoNotOptimize(cmd.Command().data());
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_SnprintfSetGL(benchmark::State& state)
{
    char buf[128];
    int speed = 0;
    for (auto _ : state) {
        int n = std::snprintf(buf, sizeof buf, "SET %d GL %d %d %d %d %d %d %d %d %d", 1, 24, 1, speed++ & 127, 128,
                              1, 0, 0, 0, 0);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(buf);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_BuildSetGA(benchmark::State& state)
{
    TSRCPCmd cmd;
    int port = 0;
    for (auto _ : state) {
        cmd.SetInvalid();
        cmd.SetSRCPVersion(cv082);
        cmd.SetDeviceGroup(dgAccessoire);
        cmd.SetCommandType(ctSet);
        cmd.SetBus(5);
        cmd.SetDevAddress(12);
        TSRCPDeviceAccessoire& ga = cmd.DevAccessoire();
        ga.SetPort(port++ & 1);
        ga.SetValue(1);
        ga.SetDelay(200);
        benchmark::DoNotOptimize(cmd.Command().data());
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_SnprintfSetGA(benchmark::State& state)
{
    char buf[128];
    int port = 0;
    for (auto _ : state) {
        int n = std::snprintf(buf, sizeof buf, "SET %d GA %d %d %d %d", 5, 12, port++ & 1, 1, 200);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(buf);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_ParseInfoLines)->Repetitions(5);
BENCHMARK(BM_SplitIntoFields)->Repetitions(5);
BENCHMARK(BM_SplitIntoViews)->Repetitions(5);
BENCHMARK(BM_BuildSetGL)->Repetitions(5);
BENCHMARK(BM_SnprintfSetGL)->Repetitions(5);
BENCHMARK(BM_BuildSetGA)->Repetitions(5);
BENCHMARK(BM_SnprintfSetGA)->Repetitions(5);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& r : runs) {
            if (r.run_type != Run::RT_Iteration || r.error_occurred)
                continue;
            const std::string name = r.run_name.function_name;
            const double ns = r.GetAdjustedCPUTime();
            auto it = nsPerLine.find(name);
            if (it == nsPerLine.end() || ns < it->second)
                nsPerLine[name] = ns;
        }
    }
    std::map<std::string, double> nsPerLine;  // smallest processor time per line of each
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& t = reporter.nsPerLine;
    bool allMet = true;
    auto ratio = [&](const char* a, const char* b, double goal) {
        if (!t.count(a) || !t.count(b) || t[b] <= 0)
            return;
        const double r = t[a] / t[b];
        std::printf("  %-18s %7.1f ns / %-18s %7.1f ns = %5.2f", a, t[a], b, t[b], r);
        if (goal > 0) {
            std::printf("   goal at most %.1f: %s", goal, r <= goal ? "met" : "NOT met");
            allMet = allMet && r <= goal;
        }
        std::printf("\n");
    };
    std::printf("\nCost ratios (processor time per line, smallest of 5 repetitions, same run):\n");
    ratio("BM_ParseInfoLines", "BM_SplitIntoFields", 2.0);
    ratio("BM_ParseInfoLines", "BM_SplitIntoViews", 0);
    ratio("BM_BuildSetGL", "BM_SnprintfSetGL", 1.0);
    ratio("BM_BuildSetGA", "BM_SnprintfSetGA", 1.0);
    benchmark::Shutdown();
    return allMet ? 0 : 2;
}
