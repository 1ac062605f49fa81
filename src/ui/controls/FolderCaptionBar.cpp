#include "ui/controls/FolderCaptionBar.h"

#include <QEvent>
#include <QPainter>

namespace {

constexpr int kBorder = 2;
constexpr int kTextLeft = 8;
constexpr int kIconFromRight = 36;

} // namespace

CFolderCaptionBar::CFolderCaptionBar(QWidget* parent) : QWidget(parent), m_text(QStringLiteral("Status"))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    Rebuild();
}

std::array<QColor, CFolderCaptionBar::kSteps> CFolderCaptionBar::MakeGradient(const QColor& caption)
{
    const int r0 = caption.red(), g0 = caption.green(), b0 = caption.blue();
    int r = r0, g = g0, b = b0;
    std::array<QColor, kSteps> colors;
    for (auto& c : colors) {
        if (r > 0)
            r -= r0 / kSteps;
        if (g > 0)
            g -= g0 / kSteps;
        if (b > 0)
            b -= b0 / kSteps;
        c = QColor(r, g, b);
    }
    return colors;
}

void CFolderCaptionBar::Rebuild()
{
    m_gradient = MakeGradient(palette().color(QPalette::Active, QPalette::Highlight));
    m_font = font();
    // A large caption: about 29 pixels from the top of the tallest letter to the lowest.
    m_font.setPixelSize(22);
    updateGeometry();
    update();
}

void CFolderCaptionBar::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        Rebuild();
    QWidget::changeEvent(event);
}

void CFolderCaptionBar::SetLargeImages(std::vector<QPixmap> images)
{
    m_images = std::move(images);
    update();
}

void CFolderCaptionBar::SetView(int kind)
{
    m_text = m_nameOfKind ? m_nameOfKind(kind) : QString();
    m_icon = kind - 1000;
    update();
}

QSize CFolderCaptionBar::sizeHint() const
{
    const int text = QFontMetrics(m_font).height() + 2 * kBorder;
    return {200, std::max(kMinimumHeight, text)};
}

QSize CFolderCaptionBar::minimumSizeHint() const
{
    return {50, sizeHint().height()};
}

void CFolderCaptionBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int w = std::max(1, width());
    // Each column takes gradient step x * 63 / w; runs of equal steps are filled at once.
    int x = 0;
    while (x < w) {
        const int step = x * (kSteps - 1) / w;
        int end = x + 1;
        while (end < w && end * (kSteps - 1) / w == step)
            ++end;
        p.fillRect(QRect(x, 0, end - x, height()), m_gradient[step]);
        x = end;
    }
    const bool hasIcon = m_icon >= 0 && m_icon < static_cast<int>(m_images.size());
    const int textRight = hasIcon ? w - kIconFromRight - 4 : w - kBorder;
    const QRect textRect(kTextLeft, kBorder, std::max(0, textRight - kTextLeft), height() - 2 * kBorder);
    p.setFont(m_font);
    p.setPen(palette().color(QPalette::Active, QPalette::HighlightedText));
    const QString shown = QFontMetrics(m_font).elidedText(m_text, Qt::ElideRight, textRect.width());
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    if (hasIcon)
        p.drawPixmap(w - kIconFromRight, (height() - 32) / 2, m_images[m_icon]);
}
