// What the rest of the layer asks of the Qt widgets (qt/).
#pragma once

#include <QPoint>
#include <QRect>
#include <string>

#include "platform/user/model.h"

class QWidget;

namespace platform::user {

// The widget that shows `window` (control_widgets.cpp).
QWidget* CreateWidgetFor(Window& window, QWidget* qtParent);
void UpdateWidgetFromModel(Window& window);
void RepaintControl(Window& window);
std::string ControlText(const Window& window);
void SetControlText(Window& window, const std::string& text);
void InsertCharacter(Window& window, char c);

// Widgets and their windows (widget_link.cpp).
bool IsOurWidget(QWidget* widget);
HWND HandleOfWidget(QWidget* widget);
// A widget's rectangle as the window model keeps it: for a top-level window
// the outer edge's position (the window manager's frame included, as move()
// takes it) with the widget's own size; for a child its geometry().
QRect WindowGeometryOf(const QWidget& widget);

// The menu bar (menu_bar.cpp).
void RebuildMenuBar(Window& window);
void RefreshMenuBar(HMENU menu);
void OpenMenuBar(Window& window, QPoint globalPos);
void OpenMenuBarByKey(Window& window, char mnemonic);
int MenuBarHeight(const Window& window);

}  // namespace platform::user
