// Thumbnail image lists.
#include "catalogue/image_list.h"

int ImageList::add(const QImage& image)
{
    m_images.append(image);
    if (!m_deferred.empty())
        m_deferred.emplace_back();
    return int(m_images.size()) - 1;
}

int ImageList::addDeferred(std::shared_ptr<const CellSource> source, qint64 cell)
{
    m_deferred.resize(size_t(m_images.size()));
    m_images.append(QImage());
    m_deferred.push_back({std::move(source), cell});
    return int(m_images.size()) - 1;
}

bool ImageList::replace(int index, const QImage& image)
{
    if (index < 0 || index >= m_images.size())
        return false;
    m_images[index] = image;
    if (!m_deferred.empty())
        m_deferred[size_t(index)] = {};
    return true;
}

bool ImageList::isDeferred(int index) const
{
    return index >= 0 && size_t(index) < m_deferred.size() && m_deferred[size_t(index)].source;
}

QImage ImageList::peek(int index) const
{
    if (index < 0 || index >= m_images.size())
        return {};
    if (isDeferred(index)) {
        const Deferred& d = m_deferred[size_t(index)];
        return d.source->cell(d.cell);
    }
    return m_images[index];
}

QImage ImageList::at(int index) const
{
    if (isDeferred(index)) {
        m_images[index] = peek(index);
        m_deferred[size_t(index)] = {};
    }
    if (index < 0 || index >= m_images.size())
        return {};
    return m_images[index];
}

void ImageList::clear()
{
    m_images.clear();
    m_deferred.clear();
}
