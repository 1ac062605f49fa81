#pragma once

#include <memory>
#include <optional>

#include <QKeySequence>
#include <QWidget>

#include "ui/Commands.h"

class CBrivantelDoc;
class CReportListCtrl;

// What a command looks like in the menus and bars while a view is shown.
struct CCommandState
{
    bool enabled = true;
    bool checked = false;
};

// What a view asks of the window that shows it.
class CViewHost
{
public:
    // The window's one action of a command, in its current state.
    virtual QAction* Action(CommandId command) const = 0;

protected:
    ~CViewHost() = default;
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

    // The window that shows the view; a view on its own (tests) has none.
    void SetHost(const CViewHost* host) { m_host = host; }

    // Called once the view is in place, before it is shown.
    virtual void OnInitialUpdate() {}
    // A command from the view's menu, toolbar or an accelerator; false when not the view's.
    virtual bool OnCommand(CommandId /*command*/) { return false; }
    // The state of one of the view's commands; nothing when the view does not handle it (the
    // frame then greys it). A view signals commandStateChanged when an answer may have changed.
    virtual std::optional<CCommandState> QueryCommand(CommandId /*command*/) const { return std::nullopt; }
    // The run ends: what the view holds goes back to the document without a question (a value
    // that cannot be taken is dropped). The view is destroyed right after.
    virtual void HandBackQuietly() {}

signals:
    void commandStateChanged();
    // Another view is to be shown once the current command has returned (the switch destroys
    // this view).
    void viewRequested(CommandId view);
    // A mail check is about to start: the status bar says so before the check blocks the window.
    void mailCheckStarting();

protected:
    // The view's popup menu at globalPos: the window's actions of the items of the view's menu.
    void ShowCommandPopup(const QPoint& globalPos);
    // Runs a command the way its menu item does (through the window's action), and only while
    // the view offers it: keys and double-clicks meet the menu commands here.
    void RunCommand(CommandId command);
    // A key that runs a command while `list`, or a part of it, has the focus: a text field
    // elsewhere in the view keeps its own keys.
    void BindListKey(CReportListCtrl& list, QKeyCombination key, CommandId command);

private:
    CBrivantelDoc& m_document;
    int m_kind;
    const CViewHost* m_host = nullptr;
};

// The form shown under a view's name until the view itself is written.
class CEmptyFormView final : public CBrivantelView
{
    Q_OBJECT
public:
    CEmptyFormView(CBrivantelDoc& document, int kind, QWidget* parent = nullptr);
};

// Makes the view of a kind (1000 to 1007). Each view's own class is hooked in here.
std::unique_ptr<CBrivantelView> CreateView(CBrivantelDoc& document, int kind, QWidget* parent);
