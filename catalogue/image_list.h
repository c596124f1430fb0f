// A list of square thumbnail images of one size, indexed like the list
// view's large-icon image list.
#pragma once
#include <QImage>
#include <QVector>
#include <memory>
#include <vector>

// Where a thumbnail that is made only when first asked for comes from (a
// cache strip read on demand).
class CellSource {
public:
    virtual ~CellSource() = default;
    // The picture of cell `cell`; never a null image.
    virtual QImage cell(qint64 cell) const = 0;
};

class ImageList {
public:
    explicit ImageList(int size = 90) : m_size(size) {}

    int size() const { return m_size; }
    int count() const { return int(m_images.size()); }
    bool isEmpty() const { return m_images.isEmpty(); }

    // Adds a copy of the picture and returns its index.
    int add(const QImage& image);
    // Adds a picture that `source` makes the first time it is asked for.
    int addDeferred(std::shared_ptr<const CellSource> source, qint64 cell);
    // Replaces image `index`; false when the index is outside the list.
    bool replace(int index, const QImage& image);
    // The image at `index`, or a null image outside the list. A deferred
    // picture is made now and kept.
    QImage at(int index) const;
    // The same, without keeping a deferred picture (one pass over the whole
    // list, as writing the cache does, should not hold them all).
    QImage peek(int index) const;
    bool isDeferred(int index) const;
    void clear();

    // Index of the frame placeholder in this list (-1 when none was added).
    int frameIndex = -1;

private:
    struct Deferred {
        std::shared_ptr<const CellSource> source;
        qint64 cell = 0;
    };
    int m_size;
    mutable QVector<QImage> m_images;
    mutable std::vector<Deferred> m_deferred; // empty, or one per image
};
