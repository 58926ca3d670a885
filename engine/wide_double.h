// WideDouble: a double significand with an exponent of its own, for the exact
// escape-time path.
//
// Every operation rounds its exact result to 53 bits (round to nearest, ties to
// even), exactly as a double operation does, but the exponent is not confined
// to the double range: a product or sum neither overflows to infinity nor loses
// bits to gradual underflow. ToDouble then rounds such a value into the double
// range (to infinity above it, to the subnormal grid below it), which is what
// happens to every value the iteration stores.
//
// Representation: a regular value is m * 2^e with 1 <= |m| < 2. Zeros,
// infinities and NaN keep m as that double and e = 0.
//
// Only IEEE double operations on normal operands and results are used, so the
// results are the same on every conforming CPU (SSE2 or better; never x87).
// The per-instruction-set kernel files must not include this header: its
// inline functions would be compiled with their flags.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

struct WideDouble {
    double m = 0.0;
    std::int32_t e = 0;
};

namespace wide {

inline constexpr std::uint64_t kExponentMask = 0x7FF0000000000000ULL;
inline constexpr std::uint64_t kOneExponent = 0x3FF0000000000000ULL;

// 2^k for a k within the normal exponent range [-1022, 1023].
inline double PowerOfTwo(std::int32_t k) {
    return std::bit_cast<double>(static_cast<std::uint64_t>(k + 1023) << 52);
}

inline bool IsRegular(const WideDouble& w) {
    return w.m != 0.0 && std::isfinite(w.m);
}

// Splits a normal double v into a significand in [1, 2) and adds v's exponent
// to e.
inline WideDouble Normalize(double v, std::int32_t e) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
    const auto k = static_cast<std::int32_t>((bits & kExponentMask) >> 52) - 1023;
    return {std::bit_cast<double>((bits & ~kExponentMask) | kOneExponent), e + k};
}

inline WideDouble FromDouble(double v) {
    if (v == 0.0 || !std::isfinite(v)) {
        return {v, 0};
    }
    if ((std::bit_cast<std::uint64_t>(v) & kExponentMask) == 0) {
        // Subnormal: scaling by 2^64 is exact and makes it normal.
        return Normalize(v * 18446744073709551616.0, -64);
    }
    return Normalize(v, 0);
}

// Rounds into the double range, once: above it to infinity, below it to the
// nearest multiple of 2^-1074 (ties to even).
inline double ToDouble(const WideDouble& w) {
    if (!IsRegular(w)) {
        return w.m;
    }
    if (w.e > 1023) {
        return std::copysign(INFINITY, w.m);
    }
    if (w.e >= -1022) {
        return w.m * PowerOfTwo(w.e);
    }
    if (w.e < -1076) {
        // Below half the smallest subnormal: rounds to zero.
        return std::copysign(0.0, w.m);
    }
    // The first product is exact and normal (2^-54 .. 2^-1); the second is one
    // correctly rounded multiplication onto the subnormal grid.
    return (w.m * PowerOfTwo(w.e + 1022)) * PowerOfTwo(-1022);
}

inline WideDouble Negate(const WideDouble& w) {
    return {-w.m, w.e};
}

inline WideDouble Mul(const WideDouble& a, const WideDouble& b) {
    if (!IsRegular(a) || !IsRegular(b)) {
        // Zeros, infinities and NaN behave as in double arithmetic; a regular
        // significand stands in for its value since only its sign matters.
        return {a.m * b.m, 0};
    }
    // 1 <= |product| < 4: a double multiplication rounds it correctly.
    return Normalize(a.m * b.m, a.e + b.e);
}

inline WideDouble Div(const WideDouble& a, const WideDouble& b) {
    if (!IsRegular(a) || !IsRegular(b)) {
        return {a.m / b.m, 0};
    }
    // 1/2 < |quotient| < 2: a double division rounds it correctly.
    return Normalize(a.m / b.m, a.e - b.e);
}

inline WideDouble Add(const WideDouble& a, const WideDouble& b) {
    const bool regularA = IsRegular(a);
    const bool regularB = IsRegular(b);
    if (!regularA || !regularB) {
        if (!regularA && !regularB) {
            return {a.m + b.m, 0};
        }
        const WideDouble& special = regularA ? b : a;
        const WideDouble& regular = regularA ? a : b;
        return special.m == 0.0 ? regular : special;
    }
    const WideDouble& big = a.e >= b.e ? a : b;
    const WideDouble& small = a.e >= b.e ? b : a;
    const std::int32_t shift = big.e - small.e;
    if (shift > 64) {
        // |small| < 2^-63 |big|: less than half an ulp of big, so the rounded
        // sum is big itself.
        return big;
    }
    // small.m * 2^-shift is an exact normal double, and the double sum of two
    // doubles is correctly rounded; it is 0 or at least 2^-117, so normal.
    const double sum = big.m + small.m * PowerOfTwo(-shift);
    if (sum == 0.0) {
        return {0.0, 0};
    }
    return Normalize(sum, big.e);
}

inline WideDouble Sub(const WideDouble& a, const WideDouble& b) {
    return Add(a, Negate(b));
}

// a > 4.0, false for NaN.
inline bool GreaterThanFour(const WideDouble& w) {
    if (!IsRegular(w)) {
        return w.m > 4.0;
    }
    return w.m > 0.0 && (w.e > 2 || (w.e == 2 && w.m > 1.0));
}

}  // namespace wide
