#include "ui/controls/LinkLabel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>

#include "app/qt/WebAddress.h"
#include "ui/controls/ControlsAccessible.h"

namespace {

CLinkLabel::Colors& SharedColors()
{
    static CLinkLabel::Colors colors;
    return colors;
}

} // namespace

CLinkLabel::CLinkLabel(const QString& text, QWidget* parent, const QString& address)
    : QLabel(text, parent), m_address(address)
{
    if (m_address.isEmpty())
        m_address = text;
    if (this->text().isEmpty())
        setText(m_address);
    setFocusPolicy(Qt::StrongFocus);
    setTextFormat(Qt::PlainText);
    setAttribute(Qt::WA_Hover);
    if (!(m_style & kNoLinkCursor))
        setCursor(Qt::PointingHandCursor);
    ApplyFont();
    RefreshToolTip();
    controls_access::InstallFactory();
}

void CLinkLabel::SetColors(const QColor& link, const QColor& active, const QColor& visited,
                           const QColor& hover)
{
    Colors& c = SharedColors();
    c.link = link;
    c.active = active;
    c.visited = visited;
    c.hover = hover.isValid() ? hover : QApplication::palette().color(QPalette::Highlight);
}

CLinkLabel::Colors CLinkLabel::GetColors()
{
    return SharedColors();
}

void CLinkLabel::SetAllColors(const Colors& colors)
{
    SetColors(colors.link, colors.active, colors.visited, colors.hover);
}

void CLinkLabel::RefreshToolTip()
{
    setToolTip(m_address);
}

void CLinkLabel::SetAddress(const QString& address)
{
    m_address = address;
    FitToText();
    RefreshToolTip();
}

void CLinkLabel::SetLinkText(const QString& text)
{
    setText(text);
    FitToText();
}

void CLinkLabel::SetLinkFont(const QFont& font)
{
    setFont(font);
    ApplyFont();
}

void CLinkLabel::SetVisited(bool visited)
{
    m_visited = visited;
    update();
}

void CLinkLabel::ApplyFont()
{
    QFont f = font();
    f.setUnderline(m_style & kUnderline);
    QLabel::setFont(f);
    FitToText();
}

bool CLinkLabel::ModifyLinkStyle(int remove, int add, bool redraw)
{
    if (remove & add)
        return false;
    m_style = (m_style & ~remove) | add;
    if (!redraw)
        return true;
    if ((remove | add) & kUnderline)
        ApplyFont();
    if (add & kFitToText)
        FitToText();
    if ((remove | add) & kNoLinkCursor) {
        if (m_style & kNoLinkCursor)
            unsetCursor();
        else
            setCursor(Qt::PointingHandCursor);
    }
    if (remove & kHoverColor)
        update();
    return true;
}

QSize CLinkLabel::sizeHint() const
{
    const QFontMetrics fm(font());
    const QSize textSize = fm.size(Qt::TextSingleLine, text());
    const QMargins m = contentsMargins();
    return {textSize.width() + m.left() + m.right() + 2, textSize.height() + m.top() + m.bottom()};
}

void CLinkLabel::FitToText()
{
    if (!(m_style & kFitToText))
        return;
    const QSize want = sizeHint();
    QRect r = geometry();
    const Qt::Alignment a = alignment();
    if (a & Qt::AlignVCenter)
        r = QRect(r.left(), r.center().y() - want.height() / 2, r.width(), want.height());
    else
        r.setHeight(want.height());
    if (a & Qt::AlignHCenter)
        r = QRect(r.center().x() - want.width() / 2, r.top(), want.width(), r.height());
    else if (a & Qt::AlignRight)
        r.setLeft(r.right() - want.width() + 1);
    else
        r.setWidth(want.width());
    setGeometry(r);
    updateGeometry();
}

QColor CLinkLabel::TextColor() const
{
    const Colors& c = SharedColors();
    if (m_hover && (m_style & kHoverColor))
        return c.hover;
    if ((m_style & kNoActiveColor) || !m_active)
        return m_visited ? c.visited : c.link;
    return c.active;
}

void CLinkLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setFont(font());
    p.setPen(TextColor());
    p.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine, text());
    if (hasFocus()) {
        QPen pen(palette().color(QPalette::WindowText), 1, Qt::DotLine);
        p.setPen(pen);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

bool CLinkLabel::FollowLink()
{
    const int result = web_address::Open(m_address);
    if (result != 0) {
        QApplication::beep();
        QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(),
                        QStringLiteral("Can't open link:\n\n") + web_address::ErrorText(result),
                        QMessageBox::Ok, window());
        box.exec();
        emit followed(false);
        return false;
    }
    m_visited = true;
    update();
    emit followed(true);
    return true;
}

void CLinkLabel::enterEvent(QEnterEvent* event)
{
    m_hover = true;
    update();
    QLabel::enterEvent(event);
}

void CLinkLabel::leaveEvent(QEvent* event)
{
    m_hover = false;
    update();
    QLabel::leaveEvent(event);
}

void CLinkLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    if (m_style & kFocusOnClick)
        setFocus(Qt::MouseFocusReason);
    m_active = true;
    update();
    if (m_style & kOpenOnPress)
        FollowLink();
}

void CLinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_active && !(m_style & kOpenOnPress) &&
        rect().contains(event->position().toPoint()))
        FollowLink();
    else
        QLabel::mouseReleaseEvent(event);
}

void CLinkLabel::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space) {
        FollowLink();
        return;
    }
    QLabel::keyPressEvent(event);
}

void CLinkLabel::focusInEvent(QFocusEvent* event)
{
    m_active = true;
    update();
    QLabel::focusInEvent(event);
}

void CLinkLabel::focusOutEvent(QFocusEvent* event)
{
    m_active = false;
    m_hover = false;
    update();
    QLabel::focusOutEvent(event);
}
