// A list of square thumbnail images of one size, indexed like the list
// view's large-icon image list.
#pragma once
#include <QImage>
#include <QVector>

class ImageList {
public:
    explicit ImageList(int size = 90) : m_size(size) {}

    int size() const { return m_size; }
    int count() const { return int(m_images.size()); }
    bool isEmpty() const { return m_images.isEmpty(); }

    // Adds a copy of the picture and returns its index.
    int add(const QImage& image);
    // Replaces image `index`; false when the index is outside the list.
    bool replace(int index, const QImage& image);
    // The image at `index`, or a null image outside the list.
    QImage at(int index) const;
    void clear() { m_images.clear(); }

    // Index of the frame placeholder in this list (-1 when none was added).
    int frameIndex = -1;

private:
    int m_size;
    QVector<QImage> m_images;
};
