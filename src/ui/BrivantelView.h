#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QWidget>

class CBrivantelDoc;

// What a command looks like in the menus and bars while a view is shown.
struct CCommandState
{
    bool enabled = true;
    bool checked = false;
};

// The base of every view the main window shows. The frame makes a new view at every switch and
// destroys the old one, so a view reads its data when made and hands back its state (column
// widths and the like) to the document when destroyed.
class CBrivantelView : public QWidget
{
    Q_OBJECT
public:
    CBrivantelView(CBrivantelDoc& document, int kind, QWidget* parent = nullptr);

    CBrivantelDoc& GetDocument() const { return m_document; }
    int GetKind() const { return m_kind; }

    // Called once the view is in place, before it is shown.
    virtual void OnInitialUpdate() {}
    // A command from the view's menu, toolbar or an accelerator; false when not the view's.
    virtual bool OnCommand(int /*command*/) { return false; }
    // The state of one of the view's commands; nothing when the view does not handle it (the
    // frame then greys it).
    virtual std::optional<CCommandState> QueryCommand(int /*command*/) const { return std::nullopt; }
    // The run ends: what the view holds goes back to the document without a question (a value
    // that cannot be taken is dropped). The view is destroyed right after.
    virtual void HandBackQuietly() {}

private:
    CBrivantelDoc& m_document;
    int m_kind;
};

// The form shown under a view's name until the view itself is written.
class CEmptyFormView final : public CBrivantelView
{
    Q_OBJECT
public:
    CEmptyFormView(CBrivantelDoc& document, int kind, QWidget* parent = nullptr);
};

struct CMenuEntry;

// A view's popup menu at globalPos: each entry enabled and checked as query says. The chosen
// command goes through the main window, as a menu command would, or to handler when the widget is
// not inside one.
void ExecCommandPopup(QWidget* owner, const std::vector<CMenuEntry>& entries, const QPoint& globalPos,
                      const std::function<std::optional<CCommandState>(int)>& query,
                      const std::function<bool(int)>& handler);

// Makes the view of a kind (1000 to 1007). Each view's own class is hooked in here.
std::unique_ptr<CBrivantelView> CreateView(CBrivantelDoc& document, int kind, QWidget* parent);
