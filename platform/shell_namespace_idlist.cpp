// Item ID lists: the allocator, the four list operations the folder tree needs, and
// conversions between lists and item bytes.
#include "platform/shell_namespace_idlist.h"

#include <cstdlib>
#include <cstring>

namespace qv {

namespace {

const unsigned char* bytesOf(const ItemIDList* list) { return reinterpret_cast<const unsigned char*>(list); }

// An item's count; lists only come from this allocator, but a count below 2 could never
// advance, so it ends the list like the terminator.
std::size_t countAt(const unsigned char* p)
{
    const std::size_t c = std::size_t(p[0]) | (std::size_t(p[1]) << 8);
    return c < 2 ? 0 : c;
}

ItemIDList* allocList(std::size_t bytes)
{
    return static_cast<ItemIDList*>(SHGetMalloc().Alloc(bytes));
}

} // namespace

void* ShellAllocator::Alloc(std::size_t bytes)
{
    if (bytes == 0)
        return nullptr;
    void* block = std::calloc(1, bytes);
    if (block)
        ++m_live;
    return block;
}

void ShellAllocator::Free(void* block)
{
    if (!block)
        return;
    std::free(block);
    --m_live;
}

ShellAllocator& SHGetMalloc()
{
    static ShellAllocator* allocator = new ShellAllocator; // outlives every static list holder
    return *allocator;
}

std::size_t IDListSize(const ItemIDList* list)
{
    if (!list)
        return 0;
    const unsigned char* p = bytesOf(list);
    std::size_t total = 0;
    while (std::size_t c = countAt(p + total))
        total += c;
    return total + 2;
}

ItemIDList* ConcatIDLists(const ItemIDList* parent, const ItemIDList* child)
{
    if (!parent)
        return CopyIDList(child);
    if (!child)
        return CopyIDList(parent);
    const std::size_t p = IDListSize(parent) - 2;
    const std::size_t c = IDListSize(child);
    ItemIDList* out = allocList(p + c);
    if (!out)
        return nullptr;
    auto* o = reinterpret_cast<unsigned char*>(out);
    std::memcpy(o, parent, p);
    std::memcpy(o + p, child, c);
    return out;
}

ItemIDList* CopyFirstItem(const ItemIDList* list)
{
    if (!list)
        return nullptr;
    const std::size_t c = countAt(bytesOf(list));
    ItemIDList* out = allocList(c + 2); // zero-filled: the terminator is already there
    if (out && c)
        std::memcpy(out, list, c);
    return out;
}

const ItemIDList* NextItem(const ItemIDList* list)
{
    if (!list)
        return nullptr;
    const std::size_t c = countAt(bytesOf(list));
    if (c == 0)
        return nullptr;
    return reinterpret_cast<const ItemIDList*>(bytesOf(list) + c);
}

ItemIDList* CopyIDList(const ItemIDList* list)
{
    if (!list)
        return nullptr;
    const std::size_t n = IDListSize(list);
    ItemIDList* out = allocList(n);
    if (out)
        std::memcpy(out, list, n - 2); // the allocator's zeros are the terminator
    return out;
}

void FreeIDList(ItemIDList* list) { SHGetMalloc().Free(list); }

bool IsEmptyIDList(const ItemIDList* list) { return !list || countAt(bytesOf(list)) == 0; }

int IDListItemCount(const ItemIDList* list)
{
    int n = 0;
    for (const ItemIDList* p = list; p && !IsEmptyIDList(p); p = NextItem(p))
        ++n;
    return n;
}

ItemIDList* MakeIDList(const QList<QByteArray>& items)
{
    std::size_t total = 2;
    for (const QByteArray& item : items) {
        if (item.isEmpty() || std::size_t(item.size()) > kMaxItemBytes)
            return nullptr;
        total += std::size_t(item.size()) + 2;
    }
    ItemIDList* out = allocList(total);
    if (!out)
        return nullptr;
    auto* o = reinterpret_cast<unsigned char*>(out);
    for (const QByteArray& item : items) {
        const std::size_t c = std::size_t(item.size()) + 2;
        o[0] = static_cast<unsigned char>(c & 0xFF);
        o[1] = static_cast<unsigned char>(c >> 8);
        std::memcpy(o + 2, item.constData(), std::size_t(item.size()));
        o += c;
    }
    return out;
}

QByteArray FirstItemBytes(const ItemIDList* list)
{
    if (IsEmptyIDList(list))
        return {};
    const unsigned char* p = bytesOf(list);
    return QByteArray(reinterpret_cast<const char*>(p + 2), qsizetype(countAt(p) - 2));
}

QList<QByteArray> IDListItems(const ItemIDList* list)
{
    QList<QByteArray> items;
    for (const ItemIDList* p = list; p && !IsEmptyIDList(p); p = NextItem(p))
        items.append(FirstItemBytes(p));
    return items;
}

QByteArray IDListBytes(const ItemIDList* list)
{
    if (!list)
        return {};
    return QByteArray(reinterpret_cast<const char*>(list), qsizetype(IDListSize(list)));
}

ItemIDList* IDListFromBytes(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const std::size_t n = std::size_t(bytes.size());
    std::size_t at = 0;
    for (;;) {
        if (n - at < 2)
            return nullptr; // no room left for a count or the terminator
        const std::size_t c = std::size_t(p[at]) | (std::size_t(p[at + 1]) << 8);
        if (c == 0)
            break;
        if (c < 2 || c > n - at)
            return nullptr;
        at += c;
    }
    ItemIDList* out = allocList(at + 2);
    if (out && at)
        std::memcpy(out, p, at);
    return out;
}

} // namespace qv
