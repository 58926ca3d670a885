// view_matches SHOT.ppm FRAME_WIDTH FRAME_HEIGHT [GESTURE...]: exit 0 when the screenshot of the
// frame (its window at the top-left of the shot) shows, in its view, exactly the picture that the
// engine computes for the view's size: the default Region fitted to the view, then zoomed by each
// GESTURE in turn, "L,T,R,B" (button pressed at L,T and released at R,B, view client pixels) or
// "alt:L,T,R,B" (released with Alt held), as the view's mouse zoom does it. A first GESTURE
// "from:W,H" says the explorer started with a W x H view and was then resized to the one
// matched: the start-up Region is rescaled to the new size keeping its scale and centre, as a
// resize does. The view's client area is found as the frame's width less
// the view's 3-pixel borders, and the height whose first and last rows match; then every pixel is
// compared.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/fractal_engine.h"
#include "engine/geometry.h"
#include "view/color_map.h"
#include "view/zoom.h"

namespace {

struct Shot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, top row first
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

bool ReadPpm(const char* path, Shot& shot) {
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        return false;
    }
    int maxValue = 0;
    const bool header = std::fscanf(f, "P6 %d %d %d", &shot.width, &shot.height, &maxValue) == 3 &&
                        maxValue == 255 && std::fgetc(f) != EOF && shot.width > 0 &&
                        shot.height > 0 && shot.width < 10000 && shot.height < 10000;
    if (!header) {
        std::fclose(f);
        return false;
    }
    shot.pixels.resize(static_cast<std::size_t>(shot.width) * shot.height);
    for (std::uint32_t& p : shot.pixels) {
        unsigned char rgb[3];
        if (std::fread(rgb, 1, 3, f) != 3) {
            std::fclose(f);
            return false;
        }
        p = (std::uint32_t{rgb[0]} << 16) | (std::uint32_t{rgb[1]} << 8) | rgb[2];
    }
    std::fclose(f);
    return true;
}

struct Gesture {
    Selection drawn;
    bool alt = false;
};

// The view's size at start-up when it differs from the one matched; 0 x 0
// when it does not.
int startWidth = 0;
int startHeight = 0;

bool ParseStart(const char* text) {
    char end = 0;
    return std::sscanf(text, "from:%d,%d%c", &startWidth, &startHeight, &end) == 2 &&
           startWidth > 0 && startHeight > 0;
}

bool ParseGesture(const char* text, Gesture& gesture) {
    std::string s = text;
    if (s.rfind("alt:", 0) == 0) {
        gesture.alt = true;
        s.erase(0, 4);
    }
    Selection& d = gesture.drawn;
    char end = 0;
    return std::sscanf(s.c_str(), "%d,%d,%d,%d%c", &d.left, &d.top, &d.right, &d.bottom, &end) == 4;
}

std::vector<Gesture> gestures;

// The Region a width x height view shows after start-up and the gestures; a
// gesture that would not zoom leaves the Region as it was.
Region ViewRegion(int width, int height) {
    Region region = kDefaultRegion;
    if (startWidth > 0) {
        FitRegionToAspect(startWidth, startHeight, region);
        if (const std::optional<Region> rescaled =
                RescaleRegion(SizingSnapshot{region, startWidth, startHeight}, width, height)) {
            region = *rescaled;
        }
    } else {
        FitRegionToAspect(width, height, region);
    }
    for (const Gesture& g : gestures) {
        if (const std::optional<Region> next = ZoomRegion(region, g.drawn, width, height, g.alt)) {
            region = *next;
        }
    }
    return region;
}

// The picture for a width x height view, top row first; only its first
// `rows` rows when rows is 1 (row 0 samples Y1 whatever the height).
std::vector<std::uint32_t> DefaultPicture(int width, int height, int rows) {
    const Region region = ViewRegion(width, height);
    height = rows;
    FractalEngine engine;
    engine.SetRegion(region);
    engine.SetSize(width, height);
    engine.SetIterationLimit(500);
    engine.Render(nullptr, false);
    const ColorRef colors[3] = {0x000000, 0x000000, 0xFF0000};
    std::vector<std::uint32_t> bottomUp(static_cast<std::size_t>(width) * height);
    ColorCounts(CountGrid{engine.Counts(), engine.bufferWidth, engine.bufferHeight}, 500,
                SplitColors(colors), bottomUp);
    std::vector<std::uint32_t> topDown(bottomUp.size());
    for (int r = 0; r < height; ++r) {
        for (int k = 0; k < width; ++k) {
            topDown[static_cast<std::size_t>(r) * width + k] =
                bottomUp[static_cast<std::size_t>(height - 1 - r) * width + k];
        }
    }
    return topDown;
}

}  // namespace

int main(int argc, char** argv) {
    Shot shot;
    bool usable = argc >= 4 && ReadPpm(argv[1], shot);
    int firstGesture = 4;
    if (usable && argc > 4 && std::string(argv[4]).rfind("from:", 0) == 0) {
        usable = ParseStart(argv[4]);
        firstGesture = 5;
    }
    for (int i = firstGesture; i < argc && usable; ++i) {
        Gesture g;
        usable = ParseGesture(argv[i], g);
        gestures.push_back(g);
    }
    if (!usable) {
        std::fprintf(stderr,
                     "usage: view_matches SHOT.ppm FRAME_WIDTH FRAME_HEIGHT [from:W,H] "
                     "[[alt:]L,T,R,B...]\n");
        return 2;
    }
    const int frameWidth = std::atoi(argv[2]);
    const int frameHeight = std::atoi(argv[3]);
    if (frameWidth > shot.width || frameHeight > shot.height || frameWidth < 10) {
        return 2;
    }
    constexpr int kBorder = 3;  // WS_BORDER (1) and WS_EX_CLIENTEDGE (2)
    const int width = frameWidth - 2 * kBorder;
    const int bottom = frameHeight - kBorder;  // the view ends at the frame's bottom border
    for (int height = bottom - 1; height > 10; --height) {
        const int top = bottom - height;
        // The first row alone rules out a wrong height cheaply.
        const std::vector<std::uint32_t> first = DefaultPicture(width, height, 1);
        bool firstMatches = true;
        for (int k = 0; k < width && firstMatches; ++k) {
            firstMatches = shot.At(kBorder + k, top) == first[static_cast<std::size_t>(k)];
        }
        if (!firstMatches) {
            continue;
        }
        const std::vector<std::uint32_t> picture = DefaultPicture(width, height, height);
        std::size_t differing = 0;
        for (int r = 0; r < height; ++r) {
            for (int k = 0; k < width; ++k) {
                differing += shot.At(kBorder + k, top + r) !=
                             picture[static_cast<std::size_t>(r) * width + k];
            }
        }
        if (differing == 0) {
            const Region r = ViewRegion(width, height);
            std::printf("view %d x %d at (%d, %d) matches the picture of %.17g %.17g %.17g %.17g\n",
                        width, height, kBorder, top, r.X1, r.Y1, r.X2, r.Y2);
            return 0;
        }
        if (differing < picture.size() / 100) {
            std::printf("view %d x %d: %zu pixels differ\n", width, height, differing);
            return 1;
        }
    }
    std::printf("no view of the expected picture found\n");
    return 1;
}
