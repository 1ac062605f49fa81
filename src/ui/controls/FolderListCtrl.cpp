#include "ui/controls/FolderListCtrl.h"

#include <QApplication>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include "ui/controls/ControlsAccessible.h"

namespace {

constexpr int kItemsTopMargin = 5;

} // namespace

CFolderListCtrl::CFolderListCtrl(QWidget* parent, int style) : QFrame(parent), m_style(style)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setLineWidth(1);
    setMouseTracking(true);
    // Tab reaches the list too: it is the program's main way between the views.
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_arrowTimer.setInterval(kArrowRepeatMs);
    connect(&m_arrowTimer, &QTimer::timeout, this, &CFolderListCtrl::OnArrowTimer);
    LoadColors();
    connect(this, &CFolderListCtrl::notify, this, &CFolderListCtrl::OnNotify);
    controls_access::InstallFactory();
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
