// GIF pictures in one call, for the loading dispatch, the viewer and qvtool.
#include "formats/gif_image.h"

#include "formats/gif_file.h"
#include "formats/gif_progress.h"

QImage DecodeGifPicture(const QByteArray& data)
{
    TGifFile gif;
    gif.LoadFromBytes(data);
    return gif.TakeBitmap();
}

QImage LoadGifPicture(const QString& fileName)
{
    TGifFile gif;
    gif.LoadFromFile(fileName);
    return gif.TakeBitmap();
}

static void addPicture(TGifFile& gif, const QImage& picture)
{
    TColorTable table;
    TByteArray2D pixels;
    try {
        BitmapToIndexed(picture, table, pixels);
    } catch (...) {
        GifProgress(1.0); // takes the progress indicator down
        throw;
    }
    gif.AddSubImage(table, pixels);
}

void SaveGifPicture(const QImage& picture, const QString& fileName)
{
    TGifFile gif;
    addPicture(gif, picture);
    gif.SaveToFile(fileName);
}

QByteArray EncodeGifPicture(const QImage& picture)
{
    TGifFile gif;
    addPicture(gif, picture);
    return gif.SaveToBytes();
}
