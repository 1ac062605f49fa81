#pragma once

#include <QWidget>

class CBannerCtrl;
class CBannerLabelCtrl;

// The strip along the bottom of the main window, 50 pixels high and as wide as the window, in the
// button-face colour: the label strip at the left and the banner window beside it.
class CBannerBar final : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHeight = 50;

    explicit CBannerBar(QWidget* parent = nullptr);

    CBannerLabelCtrl& GetLabel() { return *m_label; }
    CBannerCtrl& GetBanner() { return *m_banner; }

private:
    CBannerLabelCtrl* m_label;
    CBannerCtrl* m_banner;
};
