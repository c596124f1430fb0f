// Item ID lists of the shell namespace and their one allocator: a list is a run of items,
// each a 16-bit little-endian byte count (counting itself) and the item's bytes, then a 16-bit zero.
#pragma once
#include <QByteArray>
#include <QList>
#include <atomic>
#include <cstddef>
#include <memory>

namespace qv {

// Opaque: only ever handled through a pointer to its first byte.
struct ItemIDList;

// The allocator every ID list is made and freed with.
class ShellAllocator {
public:
    void* Alloc(std::size_t bytes); // zero-filled; null when bytes is 0 or memory is short
    void Free(void* block);         // null is fine
    // Blocks handed out and not yet freed, in the whole process.
    long liveBlocks() const { return m_live.load(); }

private:
    std::atomic<long> m_live{0};
};

// The process's allocator (made on first use, never destroyed).
ShellAllocator& SHGetMalloc();

inline constexpr std::size_t kMaxItemBytes = 0xFFFF - 2; // an item's bytes beside its count

// Sum of the item counts plus 2 for the terminator; 0 for no list.
std::size_t IDListSize(const ItemIDList* list);
// The parent's items followed by the child's, in a new list; a copy of the child when there
// is no parent (and of the parent when there is no child).
ItemIDList* ConcatIDLists(const ItemIDList* parent, const ItemIDList* child);
// A new list holding the first item alone (an empty list for an empty one).
ItemIDList* CopyFirstItem(const ItemIDList* list);
// The position of the second item, or null when the list is empty.
const ItemIDList* NextItem(const ItemIDList* list);

ItemIDList* CopyIDList(const ItemIDList* list);
void FreeIDList(ItemIDList* list);
bool IsEmptyIDList(const ItemIDList* list); // true for no list too
int IDListItemCount(const ItemIDList* list);

// Builds a list from item bytes; null when an item is empty or longer than kMaxItemBytes.
ItemIDList* MakeIDList(const QList<QByteArray>& items);
QList<QByteArray> IDListItems(const ItemIDList* list);
// The first item's bytes (without its count).
QByteArray FirstItemBytes(const ItemIDList* list);
// The list's bytes, terminator included.
QByteArray IDListBytes(const ItemIDList* list);
// A list from outside bytes: checked item by item; null when a count runs past the end, is
// below 2, or the terminator is missing.
ItemIDList* IDListFromBytes(const QByteArray& bytes);

struct IDListDeleter {
    void operator()(ItemIDList* list) const { FreeIDList(list); }
};
using UniqueIDList = std::unique_ptr<ItemIDList, IDListDeleter>;

} // namespace qv
