// zembrix-icon SIDE FILE: writes the application icon, SIDE x SIDE pixels
// (16..1024), as a PNG file.
#include <cstdio>
#include <cstdlib>

#include "resources/generator/about_bitmap.h"
#include "resources/generator/png_file.h"

int main(int argc, char** argv) {
    const int side = argc == 3 ? std::atoi(argv[1]) : 0;
    if (side < 16 || side > 1024) {
        std::fprintf(stderr, "usage: zembrix-icon SIDE FILE (SIDE in 16..1024)\n");
        return 2;
    }
    const std::vector<std::uint8_t> png = BuildPng(side, side, RenderIconRgb(side));
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "zembrix-icon: cannot open %s\n", argv[2]);
        return 1;
    }
    const bool written = std::fwrite(png.data(), 1, png.size(), out) == png.size();
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "zembrix-icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
