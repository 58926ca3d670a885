// zembrix-about-bitmap FILE: writes the About dialog's picture. The committed
// resources/about.bmp is this program's output.
#include <cstdio>

#include "resources/generator/about_bitmap.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zembrix-about-bitmap FILE\n");
        return 2;
    }
    const std::vector<std::uint8_t> bytes = BuildAboutBitmap();
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "zembrix-about-bitmap: cannot open %s\n", argv[1]);
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "zembrix-about-bitmap: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
