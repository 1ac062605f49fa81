#pragma once

#include <optional>
#include <string>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QValidator>

// The program keeps every text as Windows-1250 bytes with CR LF line breaks. These edits take only
// what that code page can hold: a character outside it (an emoji, a Cyrillic letter) is refused as
// it is typed or pasted, and the edit emits refused() with a short note for the status bar, instead
// of storing the text mangled. Lengths are counted as the data file counts them: a line break is two
// characters.
namespace win1250_edit {

// The length of an edit's text once it is Windows-1250 with CR LF line breaks.
int StoredLength(const QString& editText);
// The characters of text that Windows-1250 can hold; `dropped` tells whether any were left out.
QString KeepRepresentable(const QString& text, bool& dropped);
// The note shown when a character was refused.
QString RefusedNote();
// Why a text cannot be kept, naming its first character Windows-1250 cannot hold (after line
// breaks of every kind have become the stored one); empty when it can be kept.
QString UnstorableReason(const QString& editText);
// Shows that reason over `owner` without waiting for it (a window-modal box that deletes itself),
// so that nothing waits on the stack when the program must end.
void ShowUnstorable(QWidget* owner, const QString& reason);
// Shows a note in the status bar of the main window that `from` belongs to (through the owners of
// dialogs); beside the widget as a tooltip when there is no such window.
void ShowNote(QWidget* from, const QString& note);

} // namespace win1250_edit

// The single-line edits (recipients, signature): a validator refuses a change that brings in a
// character Windows-1250 cannot hold.
class CWin1250LineEdit final : public QLineEdit
{
    Q_OBJECT
public:
    explicit CWin1250LineEdit(QWidget* parent = nullptr);

    // The text as the program keeps it; SetStoredText shows such a text.
    std::string GetStoredText() const;
    void SetStoredText(const std::string& text);

signals:
    void refused(const QString& note);
};

// The multi-line message edits: Windows-1250 only, at most `limit` characters with a line break
// counted as two. A character beyond the limit is refused without a word, as the message edit of
// the program always did; a paste is cut to what still fits.
class CWin1250TextEdit final : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit CWin1250TextEdit(int limit, QWidget* parent = nullptr);

    // The text as the program keeps it; nothing when a character in it cannot be kept (the edit
    // keeps the text; UnstorableReason() says why). Never an empty text in its place.
    std::optional<std::string> GetStoredText() const;
    // The same with "?" for each character that cannot be kept: only for the composing view's
    // state at the end of a run, where keeping most of the text beats keeping none.
    std::string GetStoredTextLossy() const;
    QString UnstorableReason() const { return win1250_edit::UnstorableReason(EditText()); }
    void SetStoredText(const std::string& text);
    int GetStoredLength() const { return win1250_edit::StoredLength(toPlainText()); }

signals:
    void refused(const QString& note);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    // The document's text with every line break as LF.
    QString EditText() const;
    // What of `text` may go in at the cursor: representable and within the limit.
    QString Admit(const QString& text);
    int RoomAtCursor() const;

    int m_limit;
};
