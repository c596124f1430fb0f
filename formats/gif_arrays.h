// Byte containers of the GIF module: a 1-based byte block that refuses
// indices out of range, and a byte matrix stored row after row in one.
#pragma once
#include "platform/errors.h"

#include <cstddef>
#include <cstdint>
#include <memory>

QV_DECLARE_ERROR(EIndexOutOfBounds);
// Raised when a byte block cannot be allocated or a row does not fit.
QV_DECLARE_ERROR(EByteArrayError);

// A block of bytes whose indices run from 1 to count. New blocks are zeroed.
class TBigByteArray {
public:
    explicit TBigByteArray(std::size_t count = 0);
    TBigByteArray(const TBigByteArray& other);
    TBigByteArray& operator=(const TBigByteArray& other);
    TBigByteArray(TBigByteArray&& other) noexcept;
    TBigByteArray& operator=(TBigByteArray&& other) noexcept;
    ~TBigByteArray() = default;

    std::size_t count() const { return m_count; }
    std::uint8_t get(std::size_t index) const;
    void set(std::size_t index, std::uint8_t value);

    // Raw access for bulk copies; data()[i] is element i + 1.
    std::uint8_t* data() { return m_data.get(); }
    const std::uint8_t* data() const { return m_data.get(); }

    // Hands the memory pages lying wholly within the first `bytes` bytes back
    // to the system, for a block being emptied as it is copied out: those
    // bytes read as zero afterwards.
    void releaseFront(std::size_t bytes) noexcept;

    // Requests above this are refused as out of memory without asking the allocator.
    static constexpr std::size_t kMaxCount = std::size_t(1) << 32;

private:
    struct FreeDeleter {
        void operator()(std::uint8_t* p) const noexcept;
    };
    void check(std::size_t index) const;

    std::unique_ptr<std::uint8_t[], FreeDeleter> m_data;
    std::size_t m_count = 0;
};

// A matrix of bytes; element (column c, row r), both from 1, is byte
// (r - 1) * columns + c of the underlying block, which does the index checks.
class TByteArray2D {
public:
    TByteArray2D() = default;
    TByteArray2D(std::size_t columns, std::size_t rows);

    std::size_t columns() const { return m_columns; }
    std::size_t rows() const { return m_rows; }

    std::uint8_t get(std::size_t column, std::size_t row) const;
    void set(std::size_t column, std::size_t row, std::uint8_t value);

    TBigByteArray getRow(std::size_t row) const;
    void setRow(std::size_t row, const TBigByteArray& source);
    // Same as setRow from raw bytes of exactly columns() length.
    void setRow(std::size_t row, const std::uint8_t* source);

    const TBigByteArray& bytes() const { return m_bytes; }
    TBigByteArray& bytes() { return m_bytes; }

private:
    std::size_t linear(std::size_t column, std::size_t row) const;

    TBigByteArray m_bytes;
    std::size_t m_columns = 0;
    std::size_t m_rows = 0;
};
