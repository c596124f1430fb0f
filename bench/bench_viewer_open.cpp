// Opening a 12-megapixel JPEG in a viewer window (decode to shown) beside
// djpeg decoding the same file in full, as processor time, side by side.
// Usage: bench_viewer_open [rounds]   (offscreen unless QT_QPA_PLATFORM says otherwise)
#include "formats/jpeg_options.h"
#include "formats/picture_loader.h"
#include "views/image_viewer.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <vector>

namespace {

double processSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

double childrenSeconds()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// 4000 x 3000 with soft light, edges and grain, quality 90.
void writePhotograph(const QString& path)
{
    QImage p(4000, 3000, QImage::Format_RGB888);
    quint32 s = 99;
    for (int y = 0; y < p.height(); ++y) {
        uchar* row = p.scanLine(y);
        for (int x = 0; x < p.width(); ++x) {
            s ^= s << 13, s ^= s >> 17, s ^= s << 5;
            const int grain = int(s & 15) - 8;
            const bool edge = ((x / 200) + (y / 150)) % 2;
            row[3 * x] = uchar(std::clamp(x / 20 + (edge ? 60 : 0) + grain, 0, 255));
            row[3 * x + 1] = uchar(std::clamp(y / 15 + grain, 0, 255));
            row[3 * x + 2] = uchar(std::clamp(200 - x / 25 + (edge ? 0 : 40) + grain, 0, 255));
        }
    }
    saveJpegPicture(p, path, JpegOptions{});
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    QTemporaryDir dir;
    const QString path = dir.filePath("photo12mp.jpg");
    writePhotograph(path);

    std::vector<double> viewer, djpeg, decode, window;
    for (int i = 0; i < rounds; ++i) {
        // The parts: the loading dispatch alone, and an empty viewer made and dropped.
        double t = processSeconds();
        const TPicture loaded = LoadPictureFile(path);
        decode.push_back(processSeconds() - t);
        t = processSeconds();
        delete new TfrmMostraImmagine;
        window.push_back(processSeconds() - t);

        const double t0 = processSeconds();
        auto* v = new TfrmMostraImmagine;
        v->OpenFile(path, false);
        v->show();
        v->repaint(); // the picture drawn into the window
        QCoreApplication::processEvents();
        viewer.push_back(processSeconds() - t0);
        delete v;

        const double c0 = childrenSeconds();
        QProcess::execute(QStringLiteral("djpeg"), {QStringLiteral("-outfile"), QStringLiteral("/dev/null"), path});
        djpeg.push_back(childrenSeconds() - c0);
    }
    const double a = median(viewer), b = median(djpeg);
    std::printf("viewer open (decode to shown): %.3f s processor time, median of %d\n", a, rounds);
    std::printf("djpeg full decode:             %.3f s processor time, median of %d\n", b, rounds);
    std::printf("ratio viewer / djpeg:          %.2f\n", a / b);
    std::printf("of which: LoadPictureFile %.3f s, an empty viewer made %.3f s\n", median(decode), median(window));
    return 0;
}
