#include "ui/controls/BannerLabelCtrl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QtMath>

#include "app/qt/WebAddress.h"
#include "ui/controls/ControlsAccessible.h"
#include "ui/controls/FocusFrame.h"

CBannerLabelCtrl::CBannerLabelCtrl(QWidget* parent) : QWidget(parent), m_picture(LabelPicture())
{
    setObjectName(QStringLiteral("BannerLabel"));
    setFixedSize(kWidth, kHeight);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    controls_access::InstallFactory();
}

QPixmap CBannerLabelCtrl::LabelPicture(qreal dpr)
{
    QPixmap picture(qCeil(kWidth * dpr), qCeil(kHeight * dpr));
    picture.setDevicePixelRatio(dpr);
    picture.fill(QColor(0x33, 0x4d, 0x80));
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font = painter.font();
    font.setPixelSize(9);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    // The word reads upwards along the strip.
    painter.translate(0, kHeight);
    painter.rotate(-90);
    painter.drawText(QRect(0, 0, kHeight, kWidth), Qt::AlignCenter, QStringLiteral("REKLAMA"));
    return picture;
}

void CBannerLabelCtrl::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    if (!qFuzzyCompare(m_picture.devicePixelRatio(), devicePixelRatioF()))
        m_picture = LabelPicture(devicePixelRatioF());
    painter.drawPixmap(0, 0, m_picture);
    if (hasFocus())
        focus_frame::Paint(painter, rect());
}

void CBannerLabelCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Open();
    QWidget::mousePressEvent(event);
}

void CBannerLabelCtrl::Open()
{
    if (web_address::IsWebAddress(m_address))
        web_address::OpenQuietly(m_address);
}

void CBannerLabelCtrl::keyPressEvent(QKeyEvent* event)
{
    if (focus_frame::IsPressKey(*event)) {
        Open();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CBannerLabelCtrl::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void CBannerLabelCtrl::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}
