#include "settings/settings.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

// Loading and saving the whole settings record, as every settings change does.
static void BM_SettingsSaveLoad(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.ini");
    Settings s = Settings::load(path);
    for (auto _ : state) {
        s.saveTo(path);
        benchmark::DoNotOptimize(Settings::load(path).device_type);
    }
}
BENCHMARK(BM_SettingsSaveLoad);

BENCHMARK_MAIN();
