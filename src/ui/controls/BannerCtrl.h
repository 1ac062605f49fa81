#pragma once

#include <string>

#include <QImage>
#include <QString>
#include <QWidget>

#include "online/BannerInfo.h"
#include "online/BannerRotation.h"

class CUserInterface;

// The banner window, 400 x 50: the current banner's picture drawn unscaled from the top-left
// corner (a larger one is clipped, a smaller one leaves the rest to the background), or the
// program's own picture while the list is empty. A click opens the banner's link, only when it is
// a web address.
class CBannerCtrl final : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kWidth = 400;
    static constexpr int kHeight = 50;

    explicit CBannerCtrl(QWidget* parent = nullptr);

    // Where the pictures are; the image names of the list are files in it.
    void SetDataDirectory(std::string directory) { m_dataDir = std::move(directory); }
    // Told when a picture cannot be held in memory; may be null.
    void SetUserInterface(CUserInterface* ui) { m_ui = ui; }
    // Opened by a click while the list is empty (the program's own address).
    void SetDefaultAddress(const QString& address) { m_defaultAddress = address; }

    // Keeps a reference to the list (a later load of it is seen at the next tick) and loads the
    // current banner's picture.
    void SetList(const CBannerList* list);
    // One rotation tick: when the banner changes, its picture is loaded and drawn at once.
    void Tick();
    // Loads the current banner's picture; pictureLoaded says whether one is shown.
    void LoadCurrentPicture();

    bool HasPicture() const { return !m_picture.isNull(); }
    const QImage& GetPicture() const { return m_picture; }
    const CBannerRotation& GetRotation() const { return m_rotation; }
    // The address a click opens now.
    QString ClickAddress() const;
    // What a click does: opens ClickAddress() when it is a web address.
    void Open();

    // Drawn for a screen of the given device pixel ratio, so text stays sharp on scaled screens.
    static QPixmap DefaultPicture(qreal dpr = 1.0);

signals:
    // After every picture load: false when the picture is missing or damaged.
    void pictureLoaded(bool shown);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    const CBannerList* m_list = nullptr;
    mutable CBannerRotation m_rotation; // Current() starts a shorter list over
    QImage m_picture;
    QPixmap m_default;
    std::string m_dataDir;
    CUserInterface* m_ui = nullptr;
    QString m_defaultAddress;
};
