// Hard limits on pictures read from files, and checked size arithmetic.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>

namespace qv {

inline constexpr std::int64_t kMaxPictureSide = 65535;
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t(1) << 28;

// True when a picture of w x h is within the limits (both sides at least 1).
constexpr bool pictureSizeAllowed(std::int64_t w, std::int64_t h)
{
    return w >= 1 && h >= 1 && w <= kMaxPictureSide && h <= kMaxPictureSide
        && w * h <= kMaxPicturePixels;
}

// a * b, or nothing when it overflows size_t.
inline std::optional<std::size_t> mulSize(std::size_t a, std::size_t b)
{
    std::size_t r;
    if (__builtin_mul_overflow(a, b, &r))
        return std::nullopt;
    return r;
}

// a + b, or nothing when it overflows size_t.
inline std::optional<std::size_t> addSize(std::size_t a, std::size_t b)
{
    std::size_t r;
    if (__builtin_add_overflow(a, b, &r))
        return std::nullopt;
    return r;
}

} // namespace qv
