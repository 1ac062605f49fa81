#pragma once

#include <QRect>

class QKeyEvent;
class QPainter;

// The keyboard focus of the controls that draw themselves, where the style draws no frame.
namespace focus_frame {

// A two-pixel frame just inside r, white with black dots, seen on light and dark pictures alike.
void Paint(QPainter& painter, const QRect& r);
// Enter, Return or Space without a modifier: what presses a focused control.
bool IsPressKey(const QKeyEvent& event);

} // namespace focus_frame
