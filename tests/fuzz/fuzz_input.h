// Reads typed values from a fuzzer's bytes, front to back. Past the end every
// read gives zero bytes, so a target never needs to check the length.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Empty() const { return pos_ >= size_; }

    template <typename T>
    T Take() {
        T value{};
        const std::size_t n = std::min(sizeof(T), size_ - pos_);
        std::memcpy(&value, data_ + pos_, n);
        pos_ += n;
        return value;
    }

    // A double that is often one of the values where arithmetic goes wrong,
    // and otherwise any bit pattern.
    double TakeDouble() {
        // 0, -0, inf, -inf, NaN, the smallest and largest subnormal, the
        // smallest normal, the largest finite, 2^510, 2^-511, 1, -2, 2^-52.
        static constexpr std::uint64_t kSpecial[] = {
            0x0000000000000000, 0x8000000000000000, 0x7FF0000000000000, 0xFFF0000000000000,
            0x7FF8000000000000, 0x0000000000000001, 0x000FFFFFFFFFFFFF, 0x0010000000000000,
            0x7FEFFFFFFFFFFFFF, 0x5FD0000000000000, 0x1FF0000000000000, 0x3FF0000000000000,
            0xC000000000000000, 0x3CB0000000000000};
        const std::uint8_t selector = Take<std::uint8_t>();
        if (selector >= 2 * std::size(kSpecial)) {
            return Take<double>();
        }
        const double value = std::bit_cast<double>(kSpecial[selector % std::size(kSpecial)]);
        return selector >= std::size(kSpecial) ? value * 0.75 : value;
    }

    // The bytes up to the next `separator` (not included) or the end.
    std::string TakeUntil(char separator) {
        std::string text;
        while (pos_ < size_ && static_cast<char>(data_[pos_]) != separator) {
            text.push_back(static_cast<char>(data_[pos_++]));
        }
        pos_ += pos_ < size_ ? 1 : 0;  // the separator itself
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Stops the run at once with the fuzzer's crash report: a property failed.
#define FUZZ_CHECK(condition) ((condition) ? void() : __builtin_trap())
