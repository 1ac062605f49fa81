#include "ui/controls/FolderCaptionBar.h"

#include <QAccessible>
#include <QEvent>
#include <QFontDatabase>
#include <QPainter>
#include <QTextLayout>

#include "ui/controls/ControlsAccessible.h"

namespace {

constexpr int kBorder = 2;
constexpr int kTextLeft = 8;
constexpr int kIconFromRight = 36;

} // namespace

CFolderCaptionBar::CFolderCaptionBar(QWidget* parent) : QWidget(parent), m_text(QStringLiteral("Status"))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    controls_access::InstallFactory();
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
    m_font = CaptionFont();
    updateGeometry();
    update();
}

QFont CFolderCaptionBar::CaptionFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    // A font height counts the whole line (ascent and descent), while a Qt pixel size counts the
    // letters only: take the largest pixel size whose line is no taller than the height asked for.
    for (int pixels = kFontHeight; pixels > 1; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).height() <= kFontHeight)
            break;
    }
    return font;
}

QStringList CFolderCaptionBar::LayOutText(const QString& text, const QFont& font, int width, int height)
{
    const QFontMetrics fm(font);
    const int maxLines = std::max(1, height / std::max(1, fm.height()));
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    std::vector<std::pair<int, int>> spans; // start and length of each line
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(1, width));
        spans.emplace_back(line.textStart(), line.textLength());
    }
    layout.endLayout();

    QStringList lines;
    for (int i = 0; i < static_cast<int>(spans.size()) && i < maxLines; ++i) {
        const bool last = i == maxLines - 1;
        // The last line that fits takes the rest of the text, cut with an ellipsis; so does a
        // single word wider than the strip.
        const QString piece = last ? text.mid(spans[i].first) : text.mid(spans[i].first, spans[i].second);
        lines << fm.elidedText(piece.trimmed(), Qt::ElideRight, width);
    }
    return lines;
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
    // A screen reader follows the view switch by the heading's new name.
    QAccessibleEvent named(this, QAccessible::NameChanged);
    controls_access::Announce(named);
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
    const QStringList lines = LayOutText(m_text, m_font, textRect.width(), textRect.height());
    const int lineHeight = QFontMetrics(m_font).height();
    int y =
        textRect.top() + std::max(0, (textRect.height() - lineHeight * static_cast<int>(lines.size())) / 2);
    for (const QString& line : lines) {
        p.drawText(QRect(textRect.left(), y, textRect.width(), lineHeight),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, line);
        y += lineHeight;
    }
    if (hasIcon)
        p.drawPixmap(w - kIconFromRight, (height() - 32) / 2, m_images[m_icon]);
}
