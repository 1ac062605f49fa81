#pragma once

#include <vector>

#include <QString>

class CBrivantelFrame;
class QWidget;

// The main window for the keyboard alone and for screen readers: F6 and Shift+F6 walk the
// panes (the folder list, then the view's fields), and the tool buttons carry names without key
// hints, described by their status-bar prompts.
namespace frame_access {

void Prepare(CBrivantelFrame& frame);

// The panes F6 walks, in order: the folder list when it is shown, then the view's first field
// and its lists and texts of several lines (or its first control, or the view itself).
std::vector<QWidget*> Panes(CBrivantelFrame& frame);
// Moves the focus to the next pane (or the previous one) after the one that holds it.
void NextPane(CBrivantelFrame& frame, bool backwards);

// A command's text as a screen reader should say it: without "&" and without the key hint that
// follows a tab in the menus.
QString SpokenName(const QString& text);
// The hint after the tab, or an empty text.
QString KeyHint(const QString& text);

} // namespace frame_access
