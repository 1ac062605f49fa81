#pragma once

#include <array>
#include <functional>
#include <vector>

#include <QColor>
#include <QPixmap>
#include <QString>
#include <QWidget>

// The folder bar: a strip above the view with the shown view's name and large icon on a gradient
// that starts one step darker than the active caption colour and darkens to the right.
class CFolderCaptionBar : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kMinimumHeight = 34;
    static constexpr int kSteps = 64;
    // The caption's font height: the height of a line of text, as the system's font request means
    // it (not the size of the letters alone).
    static constexpr int kFontHeight = 29;

    explicit CFolderCaptionBar(QWidget* parent = nullptr);

    // nameOfKind gives a view kind's name (the kinds run from 1000); the icon is kind - 1000.
    void SetNames(std::function<QString(int)> nameOfKind) { m_nameOfKind = std::move(nameOfKind); }
    void SetLargeImages(std::vector<QPixmap> images);
    void SetView(int kind);

    const QString& GetText() const { return m_text; }
    int GetIconIndex() const { return m_icon; }
    const std::array<QColor, kSteps>& GetGradient() const { return m_gradient; }

    static std::array<QColor, kSteps> MakeGradient(const QColor& caption);
    // The system's GUI font at the caption's font height.
    static QFont CaptionFont();
    // The lines the text is drawn in within width x height: broken at word boundaries, as many
    // lines as fit (at least one), the last one cut with an ellipsis when the text goes on.
    static QStringList LayOutText(const QString& text, const QFont& font, int width, int height);
    const QFont& GetFont() const { return m_font; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Rebuild();

    std::function<QString(int)> m_nameOfKind;
    std::vector<QPixmap> m_images;
    QString m_text;
    int m_icon = -1;
    QFont m_font;
    std::array<QColor, kSteps> m_gradient;
};
