// Byte containers of the GIF module.
#include "formats/gif_arrays.h"

#include <QString>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace {
const char kIndexError[] = "Dynamic array index out of bounds";

std::uint8_t* allocateZeroed(std::size_t count)
{
    if (count == 0)
        return nullptr;
    // calloc leaves large blocks to the system's zero pages, so rows never
    // decoded cost no memory.
    auto* p = count <= TBigByteArray::kMaxCount
        ? static_cast<std::uint8_t*>(std::calloc(count, 1))
        : nullptr;
    if (!p)
        throw EByteArrayError(
            QStringLiteral("error in TBigByteArray.create: Not enough contiguous memory available\r\n"
                           " requested memory block: %1 bytes")
                .arg(quint64(count)));
    return p;
}
} // namespace

void TBigByteArray::FreeDeleter::operator()(std::uint8_t* p) const noexcept { std::free(p); }

TBigByteArray::TBigByteArray(std::size_t count)
    : m_data(allocateZeroed(count)), m_count(count)
{
}

TBigByteArray::TBigByteArray(const TBigByteArray& other)
    : m_data(allocateZeroed(other.m_count)), m_count(other.m_count)
{
    if (m_count)
        std::memcpy(m_data.get(), other.m_data.get(), m_count);
}

TBigByteArray& TBigByteArray::operator=(const TBigByteArray& other)
{
    if (this != &other) {
        TBigByteArray copy(other);
        *this = std::move(copy);
    }
    return *this;
}

TBigByteArray::TBigByteArray(TBigByteArray&& other) noexcept
    : m_data(std::move(other.m_data)), m_count(other.m_count)
{
    other.m_count = 0;
}

TBigByteArray& TBigByteArray::operator=(TBigByteArray&& other) noexcept
{
    m_data = std::move(other.m_data);
    m_count = other.m_count;
    other.m_count = 0;
    return *this;
}

void TBigByteArray::releaseFront(std::size_t bytes) noexcept
{
    static const std::uintptr_t page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(m_data.get());
    const std::uintptr_t first = (start + page - 1) / page * page;
    const std::uintptr_t end = (start + std::min(bytes, m_count)) / page * page;
    if (m_data && end > first)
        madvise(reinterpret_cast<void*>(first), end - first, MADV_DONTNEED);
}

void TBigByteArray::check(std::size_t index) const
{
    if (index < 1 || index > m_count)
        throw EIndexOutOfBounds(QString::fromLatin1(kIndexError));
}

std::uint8_t TBigByteArray::get(std::size_t index) const
{
    check(index);
    return m_data[index - 1];
}

void TBigByteArray::set(std::size_t index, std::uint8_t value)
{
    check(index);
    m_data[index - 1] = value;
}

static std::size_t matrixCount(std::size_t columns, std::size_t rows)
{
    std::size_t n;
    if (__builtin_mul_overflow(columns, rows, &n))
        n = SIZE_MAX; // refused by the block as out of memory
    return n;
}

TByteArray2D::TByteArray2D(std::size_t columns, std::size_t rows)
    : m_bytes(matrixCount(columns, rows)), m_columns(columns), m_rows(rows)
{
}

std::size_t TByteArray2D::linear(std::size_t column, std::size_t row) const
{
    // Only the block's own bounds are checked, as for any element access; a
    // row of 0 or a sum that overflows gives an index the block refuses.
    std::size_t base, index;
    if (row < 1 || __builtin_mul_overflow(row - 1, m_columns, &base)
        || __builtin_add_overflow(base, column, &index))
        return 0;
    return index;
}

std::uint8_t TByteArray2D::get(std::size_t column, std::size_t row) const
{
    return m_bytes.get(linear(column, row));
}

void TByteArray2D::set(std::size_t column, std::size_t row, std::uint8_t value)
{
    m_bytes.set(linear(column, row), value);
}

TBigByteArray TByteArray2D::getRow(std::size_t row) const
{
    if (row < 1 || row > m_rows)
        throw EIndexOutOfBounds(QString::fromLatin1(kIndexError));
    TBigByteArray result(m_columns);
    if (m_columns)
        std::memcpy(result.data(), m_bytes.data() + (row - 1) * m_columns, m_columns);
    return result;
}

void TByteArray2D::setRow(std::size_t row, const TBigByteArray& source)
{
    if (row < 1 || row > m_rows)
        throw EIndexOutOfBounds(QString::fromLatin1(kIndexError));
    if (source.count() != m_columns)
        throw EByteArrayError(QStringLiteral("Row doesn't have equal number of elements as Matrix row"));
    setRow(row, source.data());
}

void TByteArray2D::setRow(std::size_t row, const std::uint8_t* source)
{
    if (row < 1 || row > m_rows)
        throw EIndexOutOfBounds(QString::fromLatin1(kIndexError));
    if (m_columns)
        std::memcpy(m_bytes.data() + (row - 1) * m_columns, source, m_columns);
}
