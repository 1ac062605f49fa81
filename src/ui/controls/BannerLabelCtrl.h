#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

// The narrow strip left of the banner: a fixed 16 x 50 picture that leads to the maker's page
// about advertising when pressed.
class CBannerLabelCtrl final : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kWidth = 16;
    static constexpr int kHeight = 50;

    explicit CBannerLabelCtrl(QWidget* parent = nullptr);

    // The program's own address; opened on a press of the left button.
    void SetAddress(const QString& address) { m_address = address; }
    const QString& GetAddress() const { return m_address; }
    // What a press does: opens the address when it is a web address.
    void Open();

    // Drawn for a screen of the given device pixel ratio, so text stays sharp on scaled screens.
    static QPixmap LabelPicture(qreal dpr = 1.0);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QPixmap m_picture;
    QString m_address;
};
