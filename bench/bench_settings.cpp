// Loading and saving the settings file when other programs' keys fill it:
// start-up and exit with 2,000 to 20,000 foreign keys (the cost must grow
// linearly with the key count).
#include "platform/registry.h"
#include "platform/settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// A settings file of ours after `keys` foreign keys of three values each.
QByteArray settingsFile(int keys)
{
    QByteArray text = "Windows Registry Editor Version 5.00\r\n\r\n";
    for (int i = 0; i < keys; ++i) {
        text += "[HKEY_CURRENT_USER\\Software\\Other\\Vendor" + QByteArray::number(i % 97) + "\\Key"
            + QByteArray::number(i) + "]\r\n\"Name\"=\"value " + QByteArray::number(i) + "\"\r\n\"Count\"=dword:"
            + QByteArray::number(i, 16).rightJustified(8, '0') + "\r\n\"Blob\"=hex:01,02,03\r\n\r\n";
    }
    RegFileRegistry ours;
    TConfigurazione cfg;
    SalvaConfigurazione(ours, cfg); // no file name: nothing is written
    return text + ours.toText().toUtf8().mid(int(qstrlen("Windows Registry Editor Version 5.00\n\n")));
}

// Start-up: the file read and the record loaded from it.
void BM_SettingsLoad(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString name = dir.filePath("registry.reg");
    QFile f(name);
    f.open(QIODevice::WriteOnly);
    f.write(settingsFile(int(state.range(0))));
    f.close();
    for (auto _ : state) {
        RegFileRegistry reg(name);
        TConfigurazione cfg;
        LeggiConfigurazione(reg, cfg);
        benchmark::DoNotOptimize(cfg.Larghezza);
    }
    state.SetComplexityN(state.range(0));
}

// Exit: the file read again, the record written into it, the file replaced.
void BM_SettingsSave(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString name = dir.filePath("registry.reg");
    QFile f(name);
    f.open(QIODevice::WriteOnly);
    f.write(settingsFile(int(state.range(0))));
    f.close();
    TConfigurazione cfg;
    for (auto _ : state) {
        RegFileRegistry reg(name);
        SalvaConfigurazione(reg, cfg);
    }
    state.SetComplexityN(state.range(0));
}

} // namespace

BENCHMARK(BM_SettingsLoad)->Arg(2000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_SettingsSave)->Arg(2000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK_MAIN();
