// Runs Google Benchmark inside a Qt application: the chart is a widget and
// needs one. Headless unless a display platform is asked for.
#include <QApplication>
#include <QPointer>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // Windows a benchmark kept for the whole run (in a static) go while the
    // application is still there: a widget deleted after it crashes the exit.
    // Child windows go with their parents.
    std::vector<QPointer<QWidget>> windows;
    for (QWidget* window : QApplication::topLevelWidgets())
        windows.emplace_back(window);
    for (const QPointer<QWidget>& window : windows)
        delete window.data();
    return 0;
}
