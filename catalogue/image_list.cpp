// Thumbnail image lists.
#include "catalogue/image_list.h"

int ImageList::add(const QImage& image)
{
    m_images.append(image);
    return int(m_images.size()) - 1;
}

bool ImageList::replace(int index, const QImage& image)
{
    if (index < 0 || index >= m_images.size())
        return false;
    m_images[index] = image;
    return true;
}

QImage ImageList::at(int index) const
{
    if (index < 0 || index >= m_images.size())
        return {};
    return m_images[index];
}
