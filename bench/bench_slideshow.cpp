// The slideshow driven offscreen over twenty 12-megapixel photographs: the
// time from an advance (a key press) to the new picture painted, beside the
// time one picture takes to decode and to make ready for the screen.
//
// usage: bench_slideshow [DIR]   (default /tmp/quorvel-bench/slides; the
// photographs are made there with make_photos when missing)
#include "formats/picture_loader.h"
#include "views/slideshow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QScreen>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kPhotos = 20;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

QStringList photographs(const QString& dir)
{
    QDir d(dir);
    QStringList files = d.entryList({"photo*.jpg"}, QDir::Files, QDir::Name);
    if (files.size() < kPhotos) {
        const QString maker = QCoreApplication::applicationDirPath() + "/make_photos";
        std::printf("making %d photographs in %s...\n", kPhotos, qPrintable(dir));
        if (QProcess::execute(maker, {"--out", dir, "--set", "large", "--count", QString::number(kPhotos)}) != 0)
            qFatal("%s failed", qPrintable(maker));
        files = d.entryList({"photo*.jpg"}, QDir::Files, QDir::Name);
    }
    QStringList paths;
    for (int i = 0; i < kPhotos && i < files.size(); ++i)
        paths << d.filePath(files[i]);
    return paths;
}

QString loadAverage()
{
    QFile f("/proc/loadavg");
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readLine()).section(' ', 0, 2) : QString("?");
}

long peakMemoryKb()
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line; !(line = f.readLine()).isEmpty();)
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString dir = app.arguments().value(1, "/tmp/quorvel-bench/slides");
    QDir().mkpath(dir);
    const QStringList files = photographs(dir);
    if (files.size() < kPhotos)
        qFatal("need %d photographs in %s", kPhotos, qPrintable(dir));
    for (const QString& f : files) { // a warm page cache for every run
        QFile in(f);
        if (in.open(QIODevice::ReadOnly))
            in.readAll();
    }

    TfrmSlide slide;
    slide.setFileSource([&] { return files; });
    slide.setGeometry(QGuiApplication::primaryScreen()->geometry());
    const QSize client = slide.size(), screen = QGuiApplication::primaryScreen()->size();

    // One picture on its own: the full decode, and the decode with the reduction to the screen.
    std::vector<double> decode, prepare;
    QSize photo;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        const TPicture p = LoadPictureFile(files[i]);
        decode.push_back(t.nsecsElapsed() / 1e6);
        photo = p.size();
        t.restart();
        const PreparedSlide s = prepareSlide(files, i, client, screen);
        prepare.push_back(t.nsecsElapsed() / 1e6);
    }

    bool painted = false;
    QObject::connect(slide.ctImmagine, &SlidePicture::painted, [&] { painted = true; });
    slide.show();
    std::vector<double> advance;
    for (int i = 0; i < kPhotos; ++i) {
        // The viewer looks at each picture while the next one is made ready.
        while (!slide.nextReady()) {
            app.processEvents();
            QThread::msleep(5);
        }
        app.processEvents();
        painted = false;
        QElapsedTimer t;
        t.start();
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
        QApplication::sendEvent(&slide, &key);
        while (!painted)
            app.processEvents(QEventLoop::AllEvents, 5);
        advance.push_back(t.nsecsElapsed() / 1e6);
    }
    slide.close();

    std::printf("screen %dx%d, %d photographs of %dx%d; load average %s; %d cores\n", screen.width(),
                screen.height(), kPhotos, photo.width(), photo.height(), qPrintable(loadAverage()),
                QThread::idealThreadCount());
    std::printf("advance to painted: median %.1f ms, worst %.1f ms\n", median(advance),
                *std::max_element(advance.begin(), advance.end()));
    std::printf("one picture: decode %.1f ms, decode and reduce to the screen %.1f ms (medians of 3)\n",
                median(decode), median(prepare));
    std::printf("peak resident memory: %ld MB\n", peakMemoryKb() / 1024);
    return 0;
}
