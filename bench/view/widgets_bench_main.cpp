// The benchmarks of widgets run in a QApplication on the offscreen platform unless another one is asked for.
#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
