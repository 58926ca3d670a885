// zembrix-icon SIDE FILE: writes the application icon, SIDE x SIDE pixels
// (16..1024), as a PNG file.
// zembrix-icon --windows FILE: writes it as the Windows icon file of the
// executable (every size of icon_file.h).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "resources/generator/about_bitmap.h"
#include "resources/generator/icon_file.h"
#include "resources/generator/png_file.h"

int main(int argc, char** argv) {
    const bool windows = argc == 3 && std::strcmp(argv[1], "--windows") == 0;
    const int side = argc == 3 && !windows ? std::atoi(argv[1]) : 0;
    if (!windows && (side < 16 || side > 1024)) {
        std::fprintf(stderr,
                     "usage: zembrix-icon SIDE FILE (SIDE in 16..1024)\n"
                     "       zembrix-icon --windows FILE.ico\n");
        return 2;
    }
    const std::vector<std::uint8_t> bytes =
        windows ? BuildWindowsIcon() : BuildPng(side, side, RenderIconRgb(side));
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "zembrix-icon: cannot open %s\n", argv[2]);
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "zembrix-icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
