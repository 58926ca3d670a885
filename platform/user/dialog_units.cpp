// Dialog units: the dialog font (the classic dialog fonts replaced by one
// installed font, Liberation Sans, loaded by name at the pixel size Windows
// would use, so that dialog sizes are the same on every machine with that
// font), its base units as Windows measures them, and MulDiv's rounding.
//
// Leaves out: WM_SETFONT and HFONTs, and DS_SHELLFONT's other substitutes.
#include <strings.h>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "platform/user/dialog.h"

namespace platform::user {
namespace {

const char* const kSubstituteFont = "Liberation Sans";

bool IsClassicDialogFont(const char* name) {
    static const char* const names[] = {"MS Sans Serif",        "MS Shell Dlg", "MS Shell Dlg 2",
                                        "Microsoft Sans Serif", "Tahoma",       "System"};
    for (const char* n : names) {
        if (strcasecmp(n, name) == 0) {
            return true;
        }
    }
    return false;
}

int LogicalDpi() {
    QScreen* screen = QGuiApplication::primaryScreen();
    int dpi = screen ? static_cast<int>(std::lround(screen->logicalDotsPerInchY())) : 96;
    return dpi > 0 ? dpi : 96;
}

}  // namespace

int MulDivRound(int value, int numerator, int denominator) {
    if (denominator == 0) {
        return -1;
    }
    long long p = static_cast<long long>(value) * numerator;
    long long d = denominator;
    long long half = std::llabs(d) / 2;
    long long q =
        ((p < 0) != (d < 0)) ? (p - (d < 0 ? -half : half)) / d : (p + (d < 0 ? -half : half)) / d;
    return static_cast<int>(std::clamp<long long>(q, INT32_MIN, INT32_MAX));
}

QFont DialogFont(const char* fontName, int pointSize) {
    QString family = (!fontName || !*fontName || IsClassicDialogFont(fontName))
                         ? QString(kSubstituteFont)
                         : QString::fromLatin1(fontName);
    QFont font(family);
    // The height Windows asks for: -MulDiv(points, dpi, 72) pixels.
    font.setPixelSize(std::max(1, MulDivRound(pointSize > 0 ? pointSize : 8, LogicalDpi(), 72)));
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::NoFontMerging);
    return font;
}

BaseUnits DialogBaseUnits(const char* fontName, int pointSize) {
    static std::map<std::pair<std::string, int>, BaseUnits> cache;
    auto key = std::make_pair(std::string(fontName ? fontName : ""), pointSize);
    auto it = cache.find(key);
    if (it != cache.end()) {
        return it->second;
    }
    // As Windows: the average width of the 52 letters, rounded, and the
    // font's height (ascent plus descent).
    QFontMetrics metrics(DialogFont(fontName, pointSize));
    int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    BaseUnits units{(width / 26 + 1) / 2, metrics.height()};
    if (units.x <= 0 || units.y <= 0) {
        units = BaseUnits{};
    }
    cache.emplace(key, units);
    return units;
}

}  // namespace platform::user
