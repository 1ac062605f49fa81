#pragma once

#include <vector>

#include <QFrame>
#include <QPixmap>
#include <QString>
#include <QTimer>

// The folder list: a column of group buttons ("folders"); the open one shows its entries
// ("items") as large icons with centred labels. Clicking an item notifies the owner; clicking
// another folder button slides the groups into their new places. Everything is drawn here.
class CFolderListCtrl : public QFrame
{
    Q_OBJECT
public:
    // Notification codes, as the owner receives them with notify().
    static constexpr int kItemClicked = 1;
    static constexpr int kFolderChanged = 5;
    // Control style: slide the groups when the current folder changes.
    static constexpr int kStyleAnimation = 256;

    static constexpr int kFolderHeight = 22;
    static constexpr int kLabelGap = 3;
    static constexpr int kItemSpacing = 8;
    static constexpr int kArrowMargin = 5;
    static constexpr int kArrowRepeatMs = 300;

    explicit CFolderListCtrl(QWidget* parent = nullptr, int style = kStyleAnimation);

    // Images of the items, indexed by the item's image number: every picture has the same size.
    void SetLargeImages(std::vector<QPixmap> images);
    int AddFolder(const QString& name, int userData);
    // A negative position, or one at or beyond the end, appends. Returns the position used.
    int InsertItem(int folder, int position, const QString& text, int image, int userData);
    int GetItemData(int index) const; // in the current folder; 0 when out of range
    void SetCurrentFolder(int folder);
    int GetCurrentFolder() const { return m_current; }
    int GetFolderCount() const { return static_cast<int>(m_folders.size()); }
    QString GetFolderName(int folder) const { return m_folders.at(static_cast<std::size_t>(folder)).name; }
    int GetItemCount(int folder) const;
    int GetFirstVisibleItem() const { return m_firstItem; }
    void SetSlideDelay(int ms) { m_slideDelay = ms; }

    QString GetItemText(int folder, int item) const;
    // A new label for an item (a folder's count of unread messages); nothing for an unknown item.
    void SetItemText(int folder, int item, const QString& text);
    int GetItemDataOf(int folder, int item) const; // 0 when out of range
    // The item whose view is shown (-1, -1: none): what assistive tools hear as selected.
    void SetSelectedItem(int folder, int item);
    int GetSelectedFolder() const { return m_selectedFolder; }
    int GetSelectedItem() const { return m_selectedItem; }
    // The keyboard's place: a folder button (item -1) or an item of the open folder.
    int GetKeyFolder() const { return m_keyFolder; }
    int GetKeyItem() const { return m_keyItem; }
    QRect KeyCursorRect() const;
    // What a click does to an item, from the keyboard or an assistive tool: the folder opens
    // first when it is not the open one.
    void PressItem(int folder, int item);

    enum class HitKind
    {
        Nothing,
        UpArrow,
        DownArrow,
        Folder,
        Item
    };
    struct Hit
    {
        HitKind kind = HitKind::Nothing;
        int index = -1;
    };
    Hit HitTest(QPoint point) const;

    // Geometry, in widget coordinates, as the last layout has it.
    QRect FolderRect(int folder) const;
    QRect ItemsArea() const;
    QRect ItemIconRect(int item) const;
    QRect ItemLabelRect(int item) const;
    bool UpArrowShown() const;
    bool DownArrowShown() const;
    QRect UpArrowRect() const;
    QRect DownArrowRect() const;
    int LastFullyVisibleItem() const;

    QColor BackgroundColor() const { return m_colors.background; }

    // The picture the slide from folder `from` to folder `to` shows once the moving part has
    // travelled `moved` pixels, drawn for a screen of the given device pixel ratio.
    QPixmap SlideFrame(int from, int to, int moved, qreal dpr);

signals:
    void notify(int code, int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    QSize sizeHint() const override { return {128, 300}; }

private:
    struct Item
    {
        QString text;
        int image = 0;
        int userData = 0;
    };
    struct Folder
    {
        QString name;
        int userData = 0;
        std::vector<Item> items;
    };
    struct Colors
    {
        QColor background, edge, itemText, face, light, highlight, shadow, darkShadow;
    };
    enum class Pressed
    {
        None,
        Folder,
        Item,
        UpArrow,
        DownArrow
    };

    void LoadColors();
    QRect FolderRectFor(int folder, int current) const;
    QRect ItemsAreaFor(int current) const;
    QSize IconSize() const;
    QRect LabelBounds(const QString& text) const;
    int ItemHeight(const Item& item) const;
    int ItemTop(int current, int first, int item) const;
    QRect IconRectFor(int current, int first, int item) const;
    QRect LabelRectFor(int current, int first, int item) const;
    int LastFullyVisibleFor(int current, int first) const;

    void PaintState(QPainter& p, int current, int first, bool marks);
    void PaintFolderButton(QPainter& p, const QRect& r, const QString& name, bool bold, bool sunken) const;
    void PaintArrow(QPainter& p, const QRect& r, bool up, bool pushed) const;
    void PaintIconFrame(QPainter& p, const QRect& icon, bool sunken) const;
    struct SlidePlan
    {
        bool upwards = true;
        int blockTop = 0, blockBottom = 0; // the moving part in the picture it is taken from
        int start = 0, end = 0;            // where its top travels from and to
    };
    QPixmap RenderState(int current, qreal dpr);
    SlidePlan PlanSlide(int from, int to) const;
    QPixmap ComposeSlideFrame(const QPixmap& before, const QPixmap& after, const SlidePlan& plan,
                              int moved) const;
    void Slide(int from, int to);
    bool ScrollStep(bool up);
    void OnArrowTimer();
    void EndArrowPress();
    void MoveKeyCursor(int folder, int item);
    void ScrollIntoView(int item);
    void OnNotify(int code, int index);
    void PaintKeyCursor(QPainter& p) const;

    std::vector<Folder> m_folders;
    std::vector<QPixmap> m_images;
    int m_style;
    int m_current = 0;
    int m_firstItem = 0;
    int m_slideDelay = 10;
    int m_hotFolder = -1;
    int m_hotItem = -1;
    Pressed m_pressed = Pressed::None;
    int m_pressedIndex = -1;
    bool m_pressedShown = false; // the pressed thing is drawn pushed (the pointer is on it)
    QTimer m_arrowTimer;
    Colors m_colors;
    QPixmap m_animationFrame; // while sliding: the picture to show
    int m_selectedFolder = -1;
    int m_selectedItem = -1;
    int m_keyFolder = 0;
    int m_keyItem = -1;
};
