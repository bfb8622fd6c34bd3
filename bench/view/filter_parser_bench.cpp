// The filter parser over an operand holding one long run of blanks, at 32 767 and 131 072 blanks: the cost
// per character stays the same.
#include "view/filter_parser.h"

#include <benchmark/benchmark.h>

namespace {
void BM_ParseBlankRun(benchmark::State& state) {
    const std::string text = "a" + std::string(static_cast<size_t>(state.range(0)), ' ') + "b";
    const TFilterLocale locale = UserFilterLocale();
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseFilterExpression(text, TFilterExpressionType::Text, locale));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseBlankRun)->Arg(32767)->Arg(131072)->Unit(benchmark::kMicrosecond);
} // namespace
