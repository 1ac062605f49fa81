#pragma once

#include <QColor>
#include <QLabel>

// A text label that works as a web link: link colours and underline, a pointing hand, a tooltip
// with the address; it opens the address when clicked or when Space is pressed while it has the
// focus. A failure beeps and tells the user why.
class CLinkLabel : public QLabel
{
    Q_OBJECT
public:
    enum Style
    {
        kUnderline = 1,
        kHoverColor = 2,
        kFitToText = 4,
        kOpenOnPress = 8,
        kFocusOnClick = 16,
        kNoLinkCursor = 32,
        kNoActiveColor = 64,
    };
    static constexpr int kDefaultStyle = kUnderline | kFitToText | kFocusOnClick;

    struct Colors
    {
        QColor link{0, 0, 255};
        QColor active{0, 128, 128};
        QColor visited{128, 0, 128};
        QColor hover{255, 0, 0};
    };

    // An empty address takes the text as the address; an empty text shows the address.
    explicit CLinkLabel(const QString& text, QWidget* parent = nullptr, const QString& address = {});

    void SetAddress(const QString& address);
    const QString& GetAddress() const { return m_address; }
    void SetLinkText(const QString& text);
    void SetLinkFont(const QFont& font);
    void SetVisited(bool visited);
    bool IsVisited() const { return m_visited; }
    bool IsHover() const { return m_hover; }
    bool IsActive() const { return m_active; }
    int GetLinkStyle() const { return m_style; }
    // Refused (false, nothing changes) when a bit is both to be removed and to be added.
    bool ModifyLinkStyle(int remove, int add, bool redraw = true);

    // The colour the text is drawn in now.
    QColor TextColor() const;

    // Shared by every link of the program. An invalid hover colour means the system highlight.
    static void SetColors(const QColor& link, const QColor& active, const QColor& visited,
                          const QColor& hover);
    static Colors GetColors();
    static void SetAllColors(const Colors& colors);

    // Opens the address; true when it was opened.
    bool FollowLink();

signals:
    void followed(bool opened);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    QSize sizeHint() const override;

private:
    void ApplyFont();
    void FitToText();
    void RefreshToolTip();

    QString m_address;
    int m_style = kDefaultStyle;
    bool m_active = false;
    bool m_hover = false;
    bool m_visited = false;
};
