#include "ui/FrameAccess.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

#include "ui/BrivantelFrame.h"
#include "ui/FolderListBar.h"
#include "ui/MenuAccessible.h"
#include "ui/controls/FolderListCtrl.h"

namespace frame_access {

QString SpokenName(const QString& text)
{
    QString name = text.section(QLatin1Char('\t'), 0, 0);
    // "&&" stands for an "&" of the text; a lone one marks the menu key.
    name.replace(QLatin1String("&&"), QStringLiteral("\x01"));
    name.remove(QLatin1Char('&'));
    name.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return name.trimmed();
}

QString KeyHint(const QString& text)
{
    return text.section(QLatin1Char('\t'), 1).trimmed();
}

namespace {

void NameToolButtons(QToolBar& bar)
{
    for (QAction* action : bar.actions()) {
        auto* button = qobject_cast<QToolButton*>(bar.widgetForAction(action));
        if (!button || action->isSeparator())
            continue;
        button->setAccessibleName(SpokenName(action->text()));
        QString description = action->statusTip().isEmpty() ? action->toolTip() : action->statusTip();
        QString hint = KeyHint(action->text());
        if (hint.isEmpty() && !action->shortcut().isEmpty())
            hint = action->shortcut().toString(QKeySequence::NativeText);
        if (!hint.isEmpty() && !description.contains(hint))
            description += QStringLiteral(" (%1)").arg(hint);
        button->setAccessibleDescription(description);
    }
}

// A list or a text of several lines: a pane of its own.
bool IsPane(const QWidget* w)
{
    return qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QTextEdit*>(w) ||
           qobject_cast<const QAbstractItemView*>(w);
}

bool IsField(const QWidget* w)
{
    return IsPane(w) || qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w);
}

bool Takes(const QWidget* w)
{
    return (w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled();
}

} // namespace

std::vector<QWidget*> Panes(CBrivantelFrame& frame)
{
    std::vector<QWidget*> panes;
    QWidget* list = &frame.GetFolderListBar().GetList();
    if (list->isVisible())
        panes.push_back(list);
    QWidget* view = frame.GetActiveView();
    if (!view)
        return panes;
    // The view's stops in their Tab order: the first field (where typing starts), then every list
    // and every text of several lines; the other fields are Tab's.
    std::vector<QWidget*> fields;
    QWidget* first = nullptr;
    for (QWidget* w = view->nextInFocusChain(); w != view && view->isAncestorOf(w);
         w = w->nextInFocusChain()) {
        if (!Takes(w) || std::find(fields.begin(), fields.end(), w) != fields.end())
            continue;
        if (!first)
            first = w;
        if (fields.empty() ? IsField(w) : IsPane(w))
            fields.push_back(w);
    }
    if (fields.empty())
        fields.push_back(first ? first : view);
    panes.insert(panes.end(), fields.begin(), fields.end());
    return panes;
}

void NextPane(CBrivantelFrame& frame, bool backwards)
{
    const std::vector<QWidget*> panes = Panes(frame);
    if (panes.empty())
        return;
    const int n = static_cast<int>(panes.size());
    QWidget* focus = QApplication::focusWidget();
    int at = -1;
    for (int i = 0; i < n && focus; ++i) {
        if (panes[i] == focus || panes[i]->isAncestorOf(focus))
            at = i;
    }
    // Elsewhere in the view (a button, the view itself) counts as its first pane.
    QWidget* view = frame.GetActiveView();
    if (at < 0 && focus && view && (focus == view || view->isAncestorOf(focus))) {
        const auto firstOfView = std::find_if(panes.begin(), panes.end(),
                                              [&](QWidget* w) { return w == view || view->isAncestorOf(w); });
        at = static_cast<int>(firstOfView - panes.begin()) % n;
    }
    const int next = at < 0 ? (backwards ? n - 1 : 0) : (at + (backwards ? n - 1 : 1)) % n;
    panes[next]->setFocus(backwards ? Qt::BacktabFocusReason : Qt::TabFocusReason);
}

void Prepare(CBrivantelFrame& frame)
{
    CMenuAccessible::Install();
    for (QToolBar* bar : frame.findChildren<QToolBar*>())
        NameToolButtons(*bar);
    auto* next = new QShortcut(QKeySequence(Qt::Key_F6), &frame);
    QObject::connect(next, &QShortcut::activated, &frame, [&frame] { NextPane(frame, false); });
    auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6), &frame);
    QObject::connect(previous, &QShortcut::activated, &frame, [&frame] { NextPane(frame, true); });
}

} // namespace frame_access
