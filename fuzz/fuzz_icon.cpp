// Fuzz target: an icon file through the choice of its image and Qt's icon
// reader to the bitmap drawn over white.
#include "formats/anymap.h"

#include <QGuiApplication>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Qt finds its image format plugins through the application object.
    static int argc = 1;
    static char arg0[] = "fuzz";
    static char* argv[] = {arg0, nullptr};
    static QGuiApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
    try {
        const QImage bitmap = IconToBitmap(QByteArrayView(data, qsizetype(size)));
        if (bitmap.isNull() || bitmap.format() != QImage::Format_RGB32)
            __builtin_trap();
    } catch (const EInvalidGraphic&) {
    }
    return 0;
}
