#include "ui/controls/BannerBar.h"

#include "ui/controls/BannerCtrl.h"
#include "ui/controls/BannerLabelCtrl.h"

CBannerBar::CBannerBar(QWidget* parent)
    : QWidget(parent), m_label(new CBannerLabelCtrl(this)), m_banner(new CBannerCtrl(this))
{
    setObjectName(QStringLiteral("BannerStrip"));
    setFixedHeight(kHeight);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    m_label->move(0, 0);
    m_banner->move(CBannerLabelCtrl::kWidth, 0);
}
