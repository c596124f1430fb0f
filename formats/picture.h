// The picture an image control draws from: a bitmap (QImage) and, for the
// kinds that keep their source object (map readers, the JPEG adapter), that object.
#pragma once
#include <QImage>
#include <QString>
#include <memory>

// A source object kept with a picture; each kind of graphic derives from it.
class PictureGraphic {
public:
    virtual ~PictureGraphic() = default;
    // The kind's class name, e.g. "TAnymap".
    virtual QString kindName() const = 0;
};

// A source object that holds the bitmap its reader made and the file's depth.
class BitmapGraphic : public PictureGraphic {
public:
    const QImage& Bitmap() const { return m_bitmap; }
    bool Empty() const { return m_bitmap.isNull(); }
    int Width() const { return m_bitmap.width(); }
    int Height() const { return m_bitmap.height(); }
    // The file's bits per pixel when its reader knows them, else 0.
    int BitsPerPixel() const { return m_bitsPerPixel; }

protected:
    void setBitmap(QImage bitmap, int bitsPerPixel)
    {
        m_bitmap = std::move(bitmap);
        m_bitsPerPixel = bitsPerPixel;
    }

private:
    QImage m_bitmap;
    int m_bitsPerPixel = 0;
};

class TPicture {
public:
    TPicture() = default;
    // A plain bitmap. sourceBits is the file's own depth when the reader knows
    // it (0: judge from the image).
    TPicture(QImage image, int sourceBits = 0) // NOLINT: a QImage is a plain bitmap picture
        : m_image(std::move(image)), m_sourceBits(sourceBits) {}
    // A bitmap that keeps the object it was made from.
    TPicture(QImage image, std::shared_ptr<PictureGraphic> graphic, int sourceBits = 0)
        : m_image(std::move(image)), m_graphic(std::move(graphic)), m_sourceBits(sourceBits) {}

    bool isEmpty() const { return m_image.isNull(); }
    const QImage& image() const { return m_image; }
    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }
    QSize size() const { return m_image.size(); }

    // Bits per pixel of the picture as loaded: the file's depth when known,
    // else what the image's format and colour table say.
    int bitsPerPixel() const;

    // "TBitmap" for a plain bitmap, the graphic's kind otherwise; empty when empty.
    QString kindName() const;
    const std::shared_ptr<PictureGraphic>& graphic() const { return m_graphic; }
    template <class T>
    T* graphicAs() const { return dynamic_cast<T*>(m_graphic.get()); }

    void clear() { *this = TPicture(); }

private:
    QImage m_image;
    std::shared_ptr<PictureGraphic> m_graphic;
    int m_sourceBits = 0;
};
