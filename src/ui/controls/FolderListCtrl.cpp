#include "ui/controls/FolderListCtrl.h"

#include <QApplication>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QThread>
#include <QtMath>

namespace {

constexpr int kItemsTopMargin = 5;

} // namespace

CFolderListCtrl::CFolderListCtrl(QWidget* parent, int style) : QFrame(parent), m_style(style)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setLineWidth(1);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_arrowTimer.setInterval(kArrowRepeatMs);
    connect(&m_arrowTimer, &QTimer::timeout, this, &CFolderListCtrl::OnArrowTimer);
    LoadColors();
}

void CFolderListCtrl::LoadColors()
{
    const QPalette pal = palette();
    // The items sit on the darker workspace grey with light labels, the buttons are ordinary
    // raised button faces.
    m_colors.background = pal.color(QPalette::Dark).darker(115);
    m_colors.edge = m_colors.background;
    m_colors.itemText = pal.color(QPalette::Base);
    m_colors.face = pal.color(QPalette::Button);
    m_colors.light = pal.color(QPalette::Midlight);
    m_colors.highlight = pal.color(QPalette::Light);
    m_colors.shadow = pal.color(QPalette::Mid);
    m_colors.darkShadow = pal.color(QPalette::Shadow);
}

void CFolderListCtrl::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
        LoadColors();
        update();
    }
    QFrame::changeEvent(event);
}

void CFolderListCtrl::SetLargeImages(std::vector<QPixmap> images)
{
    m_images = std::move(images);
    update();
}

int CFolderListCtrl::AddFolder(const QString& name, int userData)
{
    m_folders.push_back({name, userData, {}});
    update();
    return GetFolderCount() - 1;
}

int CFolderListCtrl::InsertItem(int folder, int position, const QString& text, int image, int userData)
{
    if (folder < 0 || folder >= GetFolderCount())
        return -1;
    auto& items = m_folders[folder].items;
    if (position < 0 || position >= static_cast<int>(items.size()))
        position = static_cast<int>(items.size());
    items.insert(items.begin() + position, Item{text, image, userData});
    update();
    return position;
}

int CFolderListCtrl::GetItemCount(int folder) const
{
    if (folder < 0 || folder >= GetFolderCount())
        return 0;
    return static_cast<int>(m_folders[folder].items.size());
}

int CFolderListCtrl::GetItemData(int index) const
{
    if (m_current >= GetFolderCount() || index < 0 || index >= GetItemCount(m_current))
        return 0;
    return m_folders[m_current].items[index].userData;
}

// --- geometry -------------------------------------------------------------------------------

QRect CFolderListCtrl::FolderRectFor(int folder, int current) const
{
    const QRect client = contentsRect();
    if (folder <= current)
        return {client.left(), client.top() + folder * kFolderHeight, client.width(), kFolderHeight};
    const int fromBottom = (GetFolderCount() - folder - 1) * kFolderHeight;
    const int bottom = client.top() + client.height() - fromBottom; // exclusive
    return {client.left(), bottom - kFolderHeight, client.width(), kFolderHeight};
}

QRect CFolderListCtrl::FolderRect(int folder) const
{
    return FolderRectFor(folder, m_current);
}

QRect CFolderListCtrl::ItemsAreaFor(int current) const
{
    const QRect client = contentsRect();
    const int top = GetFolderCount() > 0 ? FolderRectFor(current, current).bottom() + 1 : client.top();
    const int bottom = current + 1 < GetFolderCount() ? FolderRectFor(current + 1, current).top()
                                                      : client.top() + client.height();
    return {client.left(), top, client.width(), std::max(0, bottom - top)};
}

QRect CFolderListCtrl::ItemsArea() const
{
    return ItemsAreaFor(m_current);
}

QSize CFolderListCtrl::IconSize() const
{
    if (m_images.empty())
        return {32, 32};
    return m_images.front().deviceIndependentSize().toSize();
}

QRect CFolderListCtrl::LabelBounds(const QString& text) const
{
    const QFontMetrics fm(font());
    return fm.boundingRect(QRect(0, 0, std::max(1, contentsRect().width()), 10000),
                           Qt::AlignHCenter | Qt::TextWordWrap, text);
}

int CFolderListCtrl::ItemHeight(const Item& item) const
{
    return kItemSpacing + kLabelGap + LabelBounds(item.text).height() + IconSize().height();
}

int CFolderListCtrl::ItemTop(int current, int first, int item) const
{
    const auto& items = m_folders[current].items;
    int y = ItemsAreaFor(current).top() + kItemsTopMargin;
    for (int i = 0; i < item; ++i)
        y += ItemHeight(items[i]) + kItemSpacing;
    for (int i = 0; i < first; ++i)
        y -= ItemHeight(items[i]) + kItemSpacing;
    return y;
}

QRect CFolderListCtrl::IconRectFor(int current, int first, int item) const
{
    const QSize icon = IconSize();
    const QRect area = ItemsAreaFor(current);
    return {area.left() + (area.width() - icon.width()) / 2, ItemTop(current, first, item), icon.width(),
            icon.height()};
}

QRect CFolderListCtrl::LabelRectFor(int current, int first, int item) const
{
    const QRect bounds = LabelBounds(m_folders[current].items[item].text);
    const QRect area = ItemsAreaFor(current);
    const QRect icon = IconRectFor(current, first, item);
    return {area.left() + (area.width() - bounds.width()) / 2, icon.bottom() + 1 + kLabelGap, bounds.width(),
            bounds.height()};
}

QRect CFolderListCtrl::ItemIconRect(int item) const
{
    return IconRectFor(m_current, m_firstItem, item);
}

QRect CFolderListCtrl::ItemLabelRect(int item) const
{
    return LabelRectFor(m_current, m_firstItem, item);
}

int CFolderListCtrl::LastFullyVisibleFor(int current, int first) const
{
    if (current >= GetFolderCount())
        return -1;
    const QRect area = ItemsAreaFor(current);
    int last = -1;
    const int count = GetItemCount(current);
    for (int i = first; i < count; ++i) {
        const int bottom = ItemTop(current, first, i) + ItemHeight(m_folders[current].items[i]);
        if (bottom > area.top() + area.height())
            break;
        last = i;
    }
    return last;
}

int CFolderListCtrl::LastFullyVisibleItem() const
{
    return LastFullyVisibleFor(m_current, m_firstItem);
}

bool CFolderListCtrl::UpArrowShown() const
{
    return m_firstItem > 0;
}

bool CFolderListCtrl::DownArrowShown() const
{
    return GetFolderCount() > 0 && LastFullyVisibleItem() < GetItemCount(m_current) - 1;
}

QRect CFolderListCtrl::UpArrowRect() const
{
    const int size = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const QRect area = ItemsArea();
    return {area.right() - kArrowMargin - size + 1, area.top() + kArrowMargin, size, size};
}

QRect CFolderListCtrl::DownArrowRect() const
{
    const int size = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const QRect area = ItemsArea();
    return {area.right() - kArrowMargin - size + 1, area.bottom() - kArrowMargin - size + 1, size, size};
}

CFolderListCtrl::Hit CFolderListCtrl::HitTest(QPoint point) const
{
    if (UpArrowShown() && UpArrowRect().contains(point))
        return {HitKind::UpArrow, -1};
    if (DownArrowShown() && DownArrowRect().contains(point))
        return {HitKind::DownArrow, -1};
    for (int f = 0; f < GetFolderCount(); ++f) {
        if (FolderRect(f).contains(point))
            return {HitKind::Folder, f};
    }
    const QRect area = ItemsArea();
    if (GetFolderCount() == 0 || !area.contains(point))
        return {};
    for (int i = m_firstItem; i < GetItemCount(m_current); ++i) {
        const QRect icon = ItemIconRect(i);
        if (icon.top() > area.bottom())
            break;
        if (icon.contains(point) || ItemLabelRect(i).contains(point))
            return {HitKind::Item, i};
    }
    return {};
}

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

// --- scrolling ------------------------------------------------------------------------------

bool CFolderListCtrl::ScrollStep(bool up)
{
    if (up) {
        if (m_firstItem <= 0)
            return false;
        --m_firstItem;
    } else {
        if (LastFullyVisibleItem() >= GetItemCount(m_current) - 1)
            return false;
        ++m_firstItem;
    }
    update();
    return true;
}

void CFolderListCtrl::OnArrowTimer()
{
    if (!m_pressedShown)
        return; // the pointer is off the arrow: the repeat waits
    const bool up = m_pressed == Pressed::UpArrow;
    if (!ScrollStep(up) || !(up ? UpArrowShown() : DownArrowShown()))
        EndArrowPress();
}

void CFolderListCtrl::EndArrowPress()
{
    m_arrowTimer.stop();
    m_pressed = Pressed::None;
    m_pressedShown = false;
    update();
}

// --- mouse ----------------------------------------------------------------------------------

void CFolderListCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QFrame::mousePressEvent(event);
        return;
    }
    const Hit hit = HitTest(event->position().toPoint());
    m_pressedIndex = hit.index;
    m_pressedShown = true;
    switch (hit.kind) {
    case HitKind::Item:
        setFocus(Qt::MouseFocusReason);
        m_pressed = Pressed::Item;
        break;
    case HitKind::Folder:
        m_pressed = Pressed::Folder;
        break;
    case HitKind::UpArrow:
    case HitKind::DownArrow:
        m_pressed = hit.kind == HitKind::UpArrow ? Pressed::UpArrow : Pressed::DownArrow;
        m_arrowTimer.start();
        break;
    case HitKind::Nothing:
        m_pressed = Pressed::None;
        m_pressedShown = false;
        break;
    }
    update();
}

void CFolderListCtrl::mouseMoveEvent(QMouseEvent* event)
{
    const Hit hit = HitTest(event->position().toPoint());
    if (m_pressed != Pressed::None) {
        bool on = false;
        switch (m_pressed) {
        case Pressed::Item:
            on = hit.kind == HitKind::Item && hit.index == m_pressedIndex;
            break;
        case Pressed::Folder:
            on = hit.kind == HitKind::Folder && hit.index == m_pressedIndex;
            break;
        case Pressed::UpArrow:
            on = hit.kind == HitKind::UpArrow;
            break;
        case Pressed::DownArrow:
            on = hit.kind == HitKind::DownArrow;
            break;
        case Pressed::None:
            break;
        }
        if (on != m_pressedShown) {
            m_pressedShown = on;
            update();
        }
        return;
    }
    // No hot marks while the keyboard focus is in a child of ours (an edit over a label).
    const QWidget* focus = QApplication::focusWidget();
    const bool childHasFocus = focus && focus != this && isAncestorOf(focus);
    const int hotFolder = !childHasFocus && hit.kind == HitKind::Folder ? hit.index : -1;
    const int hotItem = !childHasFocus && hit.kind == HitKind::Item ? hit.index : -1;
    if (hotFolder != m_hotFolder || hotItem != m_hotItem) {
        m_hotFolder = hotFolder;
        m_hotItem = hotItem;
        update();
    }
}

void CFolderListCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_pressed == Pressed::None) {
        QFrame::mouseReleaseEvent(event);
        return;
    }
    const Hit hit = HitTest(event->position().toPoint());
    const Pressed pressed = m_pressed;
    const int index = m_pressedIndex;
    m_pressed = Pressed::None;
    m_pressedShown = false;
    switch (pressed) {
    case Pressed::Item:
        update();
        if (hit.kind == HitKind::Item && hit.index == index)
            emit notify(kItemClicked, index);
        break;
    case Pressed::Folder:
        update();
        // The button under the pointer at release opens, whichever one was pressed, unless it is
        // the open one already.
        if (hit.kind == HitKind::Folder && hit.index != m_current)
            SetCurrentFolder(hit.index);
        break;
    case Pressed::UpArrow:
    case Pressed::DownArrow: {
        const bool up = pressed == Pressed::UpArrow;
        if (hit.kind == (up ? HitKind::UpArrow : HitKind::DownArrow))
            ScrollStep(up);
        EndArrowPress();
        break;
    }
    case Pressed::None:
        break;
    }
}

void CFolderListCtrl::leaveEvent(QEvent* event)
{
    if (m_hotFolder >= 0 || m_hotItem >= 0) {
        m_hotFolder = -1;
        m_hotItem = -1;
        update();
    }
    QFrame::leaveEvent(event);
}

void CFolderListCtrl::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    // A taller list may show items that were scrolled away; keep the last one at the bottom.
    while (m_firstItem > 0 && LastFullyVisibleFor(m_current, m_firstItem - 1) == GetItemCount(m_current) - 1)
        --m_firstItem;
}
