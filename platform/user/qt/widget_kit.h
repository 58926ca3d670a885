// What the Qt widgets of the layer share among themselves: the mark that ties
// a widget to its window, the handover of a new widget to its owner, the
// drawing of a backing surface, and the host widget's menu bar slot.
#pragma once

#include <QImage>
#include <QRect>
#include <memory>
#include <utility>

#include "platform/user/model.h"

class QMenuBar;
class QPainter;
class QWidget;

namespace platform::user {

// Widgets belong to their Qt parent, top-level ones to the window model,
// which deletes them in DestroyWindow; this hands the new object over.
template <class T, class... Args>
T* MakeOwned(Args&&... args) {
    return std::make_unique<T>(std::forward<Args>(args)...).release();
}

// Marks `widget` as showing window `h` (widget_link.cpp).
void Mark(QWidget* widget, HWND h);
// Marks a top-level widget as one of the layer's windows.
void MarkOurs(QWidget* widget);
void DrawSurface(QPainter& p, const QRect& target, const QImage& surface, const QRect& source);

// The widget of a window that paints itself (host_widget.cpp), and the menu
// bar it shows above the client area (null when none).
QWidget* MakeHostWidget(HWND h, QWidget* parent);
bool IsHost(const Window& window);
QMenuBar* MenuBarOf(const Window& window);
void AttachMenuBar(Window& window, QMenuBar* bar);

}  // namespace platform::user
