// The Coordinates window's fields on any text: four corner fields that show
// a Region and one Iterations field, edited to anything the fuzzer types (or
// left as shown), read back as Update reads them, fitted, applied to an
// engine and shown again. No text may outgrow its field, a field left as
// shown gives back the very double it showed, an edited one reads its longest
// decimal prefix and nothing past its end, and every finite corner's short
// form reads back to the same double.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "engine/fractal_engine.h"
#include "engine/geometry.h"
#include "tests/fuzz/fuzz_input.h"
#include "tools/number_format.h"

namespace {

// The corner and Iterations fields hold 63 characters and a terminator; the
// Render To File fields 259.
constexpr std::size_t kFieldSize = 64;
constexpr std::size_t kWideFieldSize = 260;

bool SameDouble(double a, double b) {
    return std::memcmp(&a, &b, sizeof(a)) == 0;
}

void CheckShown(double value) {
    ShownNumber field;
    field.Show(value, 16, kFieldSize);
    FUZZ_CHECK(std::strlen(field.Text()) < kFieldSize &&
               SameDouble(field.Read(field.Text()), value));

    char wide[kWideFieldSize];
    FUZZ_CHECK(FormatCorner(value, 18, wide, sizeof wide) < sizeof wide &&
               std::strlen(wide) < sizeof wide);

    if (std::isfinite(value)) {
        char shortest[32];
        FUZZ_CHECK(FormatShortest17(value, shortest, sizeof(shortest)) <= 24 &&
                   SameDouble(ParseDouble(shortest), value));
    }
}

// The corner reading as documented, by other means: strtod on the text cut
// at the first character that cannot belong to a decimal number, so that it
// sees no "nan", "inf" or hexadecimal form; it takes the longest decimal
// prefix of what is left (correctly rounded in glibc, +-infinity beyond the
// doubles).
double ReferenceCorner(const std::string& text) {
    const std::size_t first = std::min(text.find_first_not_of(" \t\n\v\f\r"), text.size());
    const std::size_t last =
        std::min(text.find_first_not_of("0123456789+-.eE", first), text.size());
    return std::strtod(text.substr(first, last - first).c_str(), nullptr);
}

// The unsigned reading as documented, through strtoull: white space, then a
// digit (so no sign), and a value that fits 32 bits.
std::uint32_t ReferenceUnsigned(const std::string& text, bool& translated) {
    const std::size_t first = std::min(text.find_first_not_of(" \t\n\v\f\r"), text.size());
    const bool digit = first < text.size() && text[first] >= '0' && text[first] <= '9';
    errno = 0;
    const unsigned long long value = digit ? std::strtoull(text.c_str() + first, nullptr, 10) : 0;
    translated = digit && errno != ERANGE && value <= 0xFFFFFFFFull;
    return translated ? static_cast<std::uint32_t>(value) : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    Region shown{in.TakeDouble(), in.TakeDouble(), in.TakeDouble(), in.TakeDouble()};
    const std::int32_t width = in.Take<std::uint16_t>() % 2048,
                       height = in.Take<std::uint16_t>() % 2048;
    const std::uint8_t edited = in.Take<std::uint8_t>();

    double* corners[4] = {&shown.X1, &shown.Y1, &shown.X2, &shown.Y2};
    Region typed;
    double* read[4] = {&typed.X1, &typed.Y1, &typed.X2, &typed.Y2};
    for (int i = 0; i < 4; ++i) {
        ShownNumber field;
        field.Show(*corners[i], 16, kFieldSize);
        std::string text = field.Text();
        if ((edited >> i) & 1) {
            // What GetDlgItemTextA gives from the edited field: at most 63
            // characters, up to the first NUL.
            text = in.TakeUntil('\n');
            text = text.substr(0, std::min(text.find('\0'), kFieldSize - 1));
        }
        // The text in a block of its own size, so that reading past its end
        // is caught.
        const auto exact = std::make_unique<char[]>(text.size() + 1);
        std::memcpy(exact.get(), text.c_str(), text.size() + 1);
        *read[i] = field.Read(exact.get());
        const bool unchanged = !((edited >> i) & 1) || text == field.Text();
        FUZZ_CHECK(SameDouble(*read[i], unchanged ? *corners[i] : ReferenceCorner(text)));
    }

    std::string limitText = in.TakeUntil('\n');
    limitText = limitText.substr(0, std::min(limitText.find('\0'), kFieldSize - 1));
    bool translated = false, expectedTranslated = false;
    const std::uint32_t limit = ParseUnsigned(limitText.c_str(), &translated);
    FUZZ_CHECK(limit == ReferenceUnsigned(limitText, expectedTranslated) &&
               translated == expectedTranslated);

    // Update: fit to the view, apply, compute a tiny picture, show the corners.
    FitRegionToAspect(width, height, typed);
    FractalEngine engine;
    engine.SetRegion(typed);
    engine.SetIterationLimit(limit % 64);
    engine.SetSize(width % 5, height % 4);
    RenderServices services;
    services.tickCount = [] { return std::uint32_t{0}; };
    FUZZ_CHECK(engine.Render(nullptr, true, services) == kRenderComputed);
    for (double* corner : read) {
        CheckShown(*corner);
    }
    return 0;
}
