#include "ui/controls/FolderListCtrl.h"

#include <QPainter>
#include <QThread>
#include <QtMath>

// The folder list's drawing: the buttons, arrows and items, and the slide between two folders.

// --- painting -------------------------------------------------------------------------------

void CFolderListCtrl::PaintFolderButton(QPainter& p, const QRect& r, const QString& name, bool bold,
                                        bool sunken) const
{
    p.fillRect(r, m_colors.face);
    const QColor topLeft = sunken ? m_colors.shadow : m_colors.highlight;
    const QColor bottomRight = sunken ? m_colors.highlight : m_colors.darkShadow;
    p.setPen(topLeft);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(bottomRight);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
    if (!sunken) {
        p.setPen(m_colors.shadow);
        p.drawLine(r.bottomLeft() + QPoint(1, -1), r.bottomRight() + QPoint(-1, -1));
        p.drawLine(r.topRight() + QPoint(-1, 1), r.bottomRight() + QPoint(-1, -1));
    }
    QFont f = font();
    f.setBold(bold);
    p.setFont(f);
    p.setPen(palette().color(QPalette::ButtonText));
    const QRect text = sunken ? r.translated(1, 1) : r;
    p.drawText(text.adjusted(4, 0, -4, 0), Qt::AlignCenter | Qt::TextSingleLine,
               QFontMetrics(f).elidedText(name, Qt::ElideRight, r.width() - 8));
}

void CFolderListCtrl::PaintArrow(QPainter& p, const QRect& r, bool up, bool pushed) const
{
    PaintFolderButton(p, r, QString(), false, pushed);
    const QPointF c = QRectF(r).center() + (pushed ? QPointF(1, 1) : QPointF());
    const qreal h = r.height() / 5.0;
    QPolygonF tri;
    if (up)
        tri << QPointF(c.x() - 2 * h, c.y() + h) << QPointF(c.x() + 2 * h, c.y() + h)
            << QPointF(c.x(), c.y() - h);
    else
        tri << QPointF(c.x() - 2 * h, c.y() - h) << QPointF(c.x() + 2 * h, c.y() - h)
            << QPointF(c.x(), c.y() + h);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(palette().color(QPalette::ButtonText));
    p.drawPolygon(tri);
    p.restore();
}

void CFolderListCtrl::PaintIconFrame(QPainter& p, const QRect& icon, bool sunken) const
{
    const QRect r = icon.adjusted(-2, -2, 1, 1);
    p.setPen(sunken ? m_colors.darkShadow : m_colors.highlight);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(sunken ? m_colors.highlight : m_colors.darkShadow);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

void CFolderListCtrl::PaintState(QPainter& p, int current, int first, bool marks)
{
    const QRect area = ItemsAreaFor(current);
    p.fillRect(area, m_colors.background);
    for (int f = 0; f < GetFolderCount(); ++f) {
        const bool sunken = marks && m_pressed == Pressed::Folder && m_pressedIndex == f && m_pressedShown;
        PaintFolderButton(p, FolderRectFor(f, current), m_folders[f].name, f == current, sunken);
    }
    if (current >= GetFolderCount())
        return;
    if (marks && UpArrowShown())
        PaintArrow(p, UpArrowRect(), true, m_pressed == Pressed::UpArrow && m_pressedShown);
    if (marks && DownArrowShown())
        PaintArrow(p, DownArrowRect(), false, m_pressed == Pressed::DownArrow && m_pressedShown);

    p.save();
    p.setClipRect(area);
    if (marks && (UpArrowShown() || DownArrowShown())) {
        // The arrows stay on top of the items that scroll beneath them.
        QRegion clip(area);
        if (UpArrowShown())
            clip -= UpArrowRect();
        if (DownArrowShown())
            clip -= DownArrowRect();
        p.setClipRegion(clip);
    }
    p.setFont(font());
    const auto& items = m_folders[current].items;
    for (int i = first; i < static_cast<int>(items.size()); ++i) {
        const QRect icon = IconRectFor(current, first, i);
        if (icon.top() > area.bottom())
            break;
        const int image = items[i].image;
        if (image >= 0 && image < static_cast<int>(m_images.size()))
            p.drawPixmap(icon.topLeft(), m_images[image]);
        p.setPen(m_colors.itemText);
        p.drawText(LabelRectFor(current, first, i), Qt::AlignHCenter | Qt::TextWordWrap, items[i].text);
        if (!marks)
            continue;
        const bool pressedHere = m_pressed == Pressed::Item && m_pressedIndex == i;
        if (pressedHere && m_pressedShown)
            PaintIconFrame(p, icon, true);
        else if (m_hotItem == i && m_pressed == Pressed::None)
            PaintIconFrame(p, icon, false);
    }
    p.restore();

    // The hot folder button: its top and left edges in the darkest shadow.
    if (marks && m_hotFolder >= 0 && m_hotFolder < GetFolderCount() && m_pressed == Pressed::None) {
        const QRect r = FolderRectFor(m_hotFolder, current);
        p.setPen(m_colors.darkShadow);
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
    }
}

void CFolderListCtrl::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter p(this);
    if (!m_animationFrame.isNull()) {
        p.drawPixmap(0, 0, m_animationFrame);
        return;
    }
    const QRect client = contentsRect();
    p.fillRect(client, m_colors.background);
    if (GetFolderCount() > 0)
        PaintState(p, m_current, m_firstItem, true);
    if (hasFocus())
        PaintKeyCursor(p);
}

// --- folders and sliding --------------------------------------------------------------------

void CFolderListCtrl::SetCurrentFolder(int folder)
{
    if (folder < 0 || folder >= GetFolderCount())
        return;
    if (folder != m_current && (m_style & kStyleAnimation) && m_slideDelay >= 0 && isVisible())
        Slide(m_current, folder);
    m_current = folder;
    m_firstItem = 0;
    m_hotItem = -1;
    emit notify(kFolderChanged, folder);
    update();
}

QPixmap CFolderListCtrl::RenderState(int current, qreal dpr)
{
    // The picture holds device pixels: a 2x screen needs twice as many in each direction.
    QPixmap pix(QSize(qCeil(width() * dpr), qCeil(height() * dpr)));
    pix.setDevicePixelRatio(dpr);
    pix.fill(m_colors.background);
    QPainter p(&pix);
    PaintState(p, current, 0, false);
    return pix;
}

CFolderListCtrl::SlidePlan CFolderListCtrl::PlanSlide(int from, int to) const
{
    // The part that moves: the buttons between the two folders together with the items of the one
    // that opens (moving up), or of the one that closes (moving down).
    SlidePlan plan;
    plan.upwards = to > from;
    if (plan.upwards) {
        plan.blockTop = FolderRectFor(from + 1, to).top();
        plan.blockBottom = ItemsAreaFor(to).bottom() + 1;
        plan.start = FolderRectFor(from + 1, from).top();
        plan.end = plan.blockTop;
    } else {
        plan.blockTop = FolderRectFor(to + 1, from).top();
        plan.blockBottom = ItemsAreaFor(from).bottom() + 1;
        plan.start = plan.blockTop;
        plan.end = FolderRectFor(to + 1, to).top();
    }
    return plan;
}

QPixmap CFolderListCtrl::ComposeSlideFrame(const QPixmap& before, const QPixmap& after, const SlidePlan& plan,
                                           int moved) const
{
    const QPixmap& base = plan.upwards ? before : after;
    const QPixmap& moving = plan.upwards ? after : before;
    const int distance = std::abs(plan.end - plan.start);
    const int direction = plan.end < plan.start ? -1 : 1;
    const int y = plan.start + direction * std::min(moved, distance);
    const QRect client = contentsRect();
    const int w = width();
    QPixmap frame = base;
    QPainter p(&frame);
    // Below the block both pictures agree.
    p.setClipRect(QRect(client.left(), client.top(), w, plan.blockBottom - client.top()));
    // The source rectangle of drawPixmap counts the pixmap's own (device) pixels, while the
    // painter and the target work in logical ones.
    const qreal dpr = moving.devicePixelRatio();
    const QRectF source(0, plan.blockTop * dpr, w * dpr, (plan.blockBottom - plan.blockTop) * dpr);
    p.drawPixmap(QRectF(0, y, w, plan.blockBottom - plan.blockTop), moving, source);
    return frame;
}

QPixmap CFolderListCtrl::SlideFrame(int from, int to, int moved, qreal dpr)
{
    return ComposeSlideFrame(RenderState(from, dpr), RenderState(to, dpr), PlanSlide(from, to), moved);
}

void CFolderListCtrl::Slide(int from, int to)
{
    const qreal dpr = devicePixelRatioF();
    const QPixmap before = RenderState(from, dpr);
    const QPixmap after = RenderState(to, dpr);
    const SlidePlan plan = PlanSlide(from, to);
    const int distance = std::abs(plan.end - plan.start);
    for (int moved = kFolderHeight; moved < distance + kFolderHeight; moved += kFolderHeight) {
        m_animationFrame = ComposeSlideFrame(before, after, plan, moved);
        repaint();
        if (m_slideDelay > 0)
            QThread::msleep(static_cast<unsigned long>(m_slideDelay));
    }
    m_animationFrame = QPixmap();
}
