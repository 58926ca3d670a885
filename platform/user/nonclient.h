// The non-client edges (nonclient.cpp).
#pragma once

#include <QRect>

#include "platform/user/model.h"

class QPainter;

namespace platform::user {

// The client rectangle inside the window rectangle, in the widget's
// coordinates (the window manager's frame is outside it).
QRect ClientRectInWindow(const Window& window);
// Draws the borders and edges the window's styles ask for around `client`.
void DrawNonClient(QPainter& painter, const Window& window, const QRect& all, const QRect& client);

}  // namespace platform::user
