#include "ui/controls/BannerCtrl.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QtMath>

#include "app/UserInterface.h"
#include "app/qt/TextCodec.h"
#include "app/qt/WebAddress.h"
#include "online/BannerIndex.h"
#include "online/JpegDecoder.h"
#include "ui/controls/ControlsAccessible.h"
#include "ui/controls/FocusFrame.h"

namespace {

// The decoder's red-green-blue rows, top-down and packed, as an image of its own.
QImage ToImage(const CJpegDecoder::Picture& picture)
{
    const QImage view(picture.pixels.get(), picture.width, picture.height, picture.width * 3,
                      QImage::Format_RGB888);
    return view.copy();
}

} // namespace

CBannerCtrl::CBannerCtrl(QWidget* parent) : QWidget(parent), m_default(DefaultPicture())
{
    setObjectName(QStringLiteral("Banner"));
    setFixedSize(kWidth, kHeight);
    setCursor(Qt::PointingHandCursor);
    // Tab reaches the banner, and Enter opens it as a click does.
    setFocusPolicy(Qt::StrongFocus);
    controls_access::InstallFactory();
}

QPixmap CBannerCtrl::DefaultPicture(qreal dpr)
{
    QPixmap picture(qCeil(kWidth * dpr), qCeil(kHeight * dpr));
    picture.setDevicePixelRatio(dpr);
    QPainter painter(&picture);
    QLinearGradient gradient(0, 0, kWidth, 0);
    gradient.setColorAt(0, QColor(0x1f, 0x3a, 0x6e));
    gradient.setColorAt(1, QColor(0x5b, 0x8d, 0xd6));
    painter.fillRect(QRect(0, 0, kWidth, kHeight), gradient);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font = painter.font();
    font.setPixelSize(24);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(14, 0, kWidth - 28, kHeight), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("Brivantel"));
    font.setPixelSize(12);
    font.setBold(false);
    painter.setFont(font);
    painter.drawText(QRect(14, 0, kWidth - 28, kHeight), Qt::AlignVCenter | Qt::AlignRight,
                     QStringLiteral("SMS-y prosto z komputera"));
    return picture;
}

void CBannerCtrl::SetList(const CBannerList* list)
{
    m_list = list;
    LoadCurrentPicture();
    update();
}

void CBannerCtrl::Tick()
{
    if (!m_list || !m_rotation.Tick(*m_list))
        return;
    LoadCurrentPicture();
    repaint();
}

void CBannerCtrl::LoadCurrentPicture()
{
    if (!m_list || m_list->empty())
        return;
    m_picture = QImage();
    const CBannerInfo* banner = m_rotation.Current(*m_list);
    // Image names come from the network: only a plain file name becomes a path.
    if (banner && banner->HasPlainImageName()) {
        const std::string path = banner_index::PathInDataDir(m_dataDir, banner->GetImageFile());
        CJpegDecoder::Failure why = CJpegDecoder::Failure::None;
        if (const auto picture = CJpegDecoder::DecodeFile(path, &why))
            m_picture = ToImage(*picture);
        else if (why == CJpegDecoder::Failure::OutOfMemory && m_ui)
            m_ui->ShowMessage("CJpegDecoder :\nOut of memory", CUserInterface::Icon::Error);
    }
    emit pictureLoaded(!m_picture.isNull());
}

QString CBannerCtrl::ClickAddress() const
{
    if (!m_list || m_list->empty())
        return m_defaultAddress;
    const CBannerInfo* banner = m_rotation.Current(*m_list);
    return banner ? text_codec::ToQString(banner->GetLink()) : QString();
}

void CBannerCtrl::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    if (!m_list || m_list->empty()) {
        if (!qFuzzyCompare(m_default.devicePixelRatio(), devicePixelRatioF()))
            m_default = DefaultPicture(devicePixelRatioF());
        painter.drawPixmap(0, 0, m_default);
    } else if (!m_picture.isNull()) {
        painter.drawImage(QPoint(0, 0), m_picture);
    }
    if (hasFocus())
        focus_frame::Paint(painter, rect());
}

void CBannerCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Open();
    QWidget::mouseReleaseEvent(event);
}

void CBannerCtrl::Open()
{
    const QString address = ClickAddress();
    if (web_address::IsWebAddress(address))
        web_address::OpenQuietly(address);
}

void CBannerCtrl::keyPressEvent(QKeyEvent* event)
{
    if (focus_frame::IsPressKey(*event)) {
        Open();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CBannerCtrl::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void CBannerCtrl::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}
