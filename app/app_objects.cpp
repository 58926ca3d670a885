// The three static objects of the run, defined in one place so that they are
// constructed in this order (view, colours, coordinates) and destroyed in the
// reverse order at process exit.
#include "tools/colors_window.h"
#include "tools/coordinates_window.h"
#include "view/fractal_view.h"

namespace {

FractalView g_fractalView;
ColorsWindow g_colorsWindow;
CoordinatesWindow g_coordinatesWindow;

}  // namespace

FractalView& TheFractalView() {
    return g_fractalView;
}
ColorsWindow& TheColorsWindow() {
    return g_colorsWindow;
}
CoordinatesWindow& TheCoordinatesWindow() {
    return g_coordinatesWindow;
}
