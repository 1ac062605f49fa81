#pragma once

#include <QDockWidget>

class CFolderListCtrl;
enum class CommandId : int;

// The side panel that holds the folder list, filled with the program's groups and entries.
// 128 pixels wide at the left or right, 100 high at the top or bottom; its inner edge resizes it.
class CFolderListBar final : public QDockWidget
{
    Q_OBJECT
public:
    static constexpr int kWidth = 128;
    static constexpr int kHeight = 100;

    explicit CFolderListBar(QWidget* parent);

    CFolderListCtrl& GetList() { return *m_list; }
    // kWidth, or more when the font needs it: the longest group title, bold as the open group
    // shows it, fits its button.
    int PreferredWidth() const;
    // The command of an item of the open group; CommandId::None when there is none.
    CommandId GetItemCommand(int index) const;
    // Marks the item that shows the command's view as the selected one (none when no item does).
    void SelectCommand(CommandId command);
    // Relabels the item that shows the command's view.
    void SetCommandText(CommandId command, const QString& text);

private:
    void Fill();

    CFolderListCtrl* m_list;
};
