// Reads typed values from a fuzzer's bytes, front to back. Past the end every
// read gives zero bytes, so a target never needs to check the length.
#pragma once

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
        unsigned char bytes[sizeof(T)] = {};
        for (std::size_t i = 0; i < sizeof(T) && pos_ < size_; ++i) {
            bytes[i] = data_[pos_++];
        }
        T value;
        std::memcpy(&value, bytes, sizeof(T));
        return value;
    }

    // A double that is often one of the values where arithmetic goes wrong,
    // and otherwise any bit pattern.
    double TakeDouble() {
        static constexpr std::uint64_t kSpecial[] = {
            0x0000000000000000,  // 0
            0x8000000000000000,  // -0
            0x7FF0000000000000,  // inf
            0xFFF0000000000000,  // -inf
            0x7FF8000000000000,  // NaN
            0x0000000000000001,  // smallest subnormal
            0x000FFFFFFFFFFFFF,  // largest subnormal
            0x0010000000000000,  // smallest normal
            0x7FEFFFFFFFFFFFFF,  // largest finite
            0x5FD0000000000000,  // 2^510
            0x1FF0000000000000,  // 2^-511
            0x3FF0000000000000,  // 1
            0xC000000000000000,  // -2
            0x3CB0000000000000,  // 2^-52
        };
        const std::uint8_t selector = Take<std::uint8_t>();
        if (selector < 2 * std::size(kSpecial)) {
            double value;
            std::memcpy(&value, &kSpecial[selector % std::size(kSpecial)], sizeof(value));
            return selector >= std::size(kSpecial) ? value * 0.75 : value;
        }
        return Take<double>();
    }

    // The bytes up to the next `separator` (not included) or the end.
    std::string TakeUntil(char separator) {
        std::string text;
        while (pos_ < size_) {
            const char c = static_cast<char>(data_[pos_++]);
            if (c == separator) {
                break;
            }
            text.push_back(c);
        }
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Stops the run at once with the fuzzer's crash report: a property failed.
#define FUZZ_CHECK(condition) \
    do {                      \
        if (!(condition)) {   \
            __builtin_trap(); \
        }                     \
    } while (false)
