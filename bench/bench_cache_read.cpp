// Reading a folder's thumbnail cache: until the list is complete (thumbnails
// of the strip still to be expanded when shown), and with every thumbnail
// expanded as scrolling through the whole list would. The folder is
// QV_BENCH_CACHE_DIR (default: the small set of bench/thumbs.sh), with its
// cache pair already written by `qvtool thumbs`.
#include "catalogue/thumbnail_catalogue.h"
#include "platform/settings.h"

#include <QFile>
#include <QGuiApplication>
#include <benchmark/benchmark.h>

namespace {

QString folder()
{
    const QByteArray env = qgetenv("QV_BENCH_CACHE_DIR");
    return env.isEmpty() ? QStringLiteral("/tmp/quorvel-bench/small") : QString::fromLocal8Bit(env);
}

ThumbnailCatalogue& catalogue()
{
    static ThumbnailCatalogue* c = [] {
        Configurazione = TConfigurazione{};
        return new ThumbnailCatalogue;
    }();
    return *c;
}

void BM_CacheRead(benchmark::State& state)
{
    const bool expandAll = state.range(0) != 0;
    const QString dir = folder();
    if (!QFile::exists(ThumbnailCatalogue::cacheImagesName(dir))) {
        state.SkipWithError("no cache pair in the folder: run qvtool thumbs on it first");
        return;
    }
    ThumbnailCatalogue& c = catalogue();
    int pictures = 0;
    for (auto _ : state) {
        c.CaricaMiniature(dir);
        pictures = c.model().count();
        if (expandAll) {
            const ImageList* list = c.currentList();
            for (int i = 0; i < list->count(); ++i)
                benchmark::DoNotOptimize(list->at(i));
        }
        state.PauseTiming();
        c.clearList();
        state.ResumeTiming();
    }
    state.counters["pictures"] = double(pictures);
}

} // namespace

BENCHMARK(BM_CacheRead)->Arg(0)->Arg(1)->ArgName("expand_all")->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
