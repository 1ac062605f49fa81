#include "ui/controls/FocusFrame.h"

#include <QKeyEvent>
#include <QPainter>

namespace focus_frame {

void Paint(QPainter& painter, const QRect& r)
{
    painter.save();
    painter.setBrush(Qt::NoBrush);
    for (const QRect& line : {r.adjusted(0, 0, -1, -1), r.adjusted(1, 1, -2, -2)}) {
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(line);
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.drawRect(line);
    }
    painter.restore();
}

bool IsPressKey(const QKeyEvent& event)
{
    const int key = event.key();
    const bool plain = (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    return plain && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space);
}

} // namespace focus_frame
