#include "ui/Win1250Edit.h"

#include <functional>

#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolTip>

#include "app/qt/TextCodec.h"
#include "store/Windows1250.h"

namespace {

constexpr int kNoteMs = 4000;

// Line breaks as the edits hold them: LF only (a paste may bring CR LF or CR; a selection's
// paragraph separators are line breaks too).
QString Normalised(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar(u'\r'), QChar(u'\n'));
    // Shift+Enter puts in Qt's line separator (U+2028): to the program it is a line break like any other.
    text.replace(QChar(QChar::ParagraphSeparator), QChar(u'\n'));
    text.replace(QChar(QChar::LineSeparator), QChar(u'\n'));
    return text;
}

bool Storable(char32_t c)
{
    return c == U'\n' || c == text_codec::kLoneCarriageReturn.unicode() ||
           c == text_codec::kLoneLineFeed.unicode() || windows1250::FromCodePoint(c).has_value();
}

// Refuses a change of a line edit that brings in a character Windows-1250 cannot hold.
class CWin1250Validator final : public QValidator
{
public:
    CWin1250Validator(CWin1250LineEdit* edit, std::function<void()> onRefused)
        : QValidator(edit), m_onRefused(std::move(onRefused))
    {
    }
    State validate(QString& input, int& /*pos*/) const override
    {
        bool dropped = false;
        win1250_edit::KeepRepresentable(input, dropped);
        if (!dropped)
            return Acceptable;
        m_onRefused();
        return Invalid;
    }

private:
    std::function<void()> m_onRefused;
};

} // namespace

namespace win1250_edit {

int StoredLength(const QString& editText)
{
    const QString text = Normalised(editText);
    return static_cast<int>(text.size() + text.count(QChar(u'\n')));
}

QString KeepRepresentable(const QString& text, bool& dropped)
{
    dropped = false;
    QString kept;
    kept.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (Storable(c)) {
            kept.append(QString::fromUcs4(&c, 1));
        } else {
            dropped = true;
        }
    }
    return kept;
}

QString RefusedNote()
{
    return QStringLiteral("Tego znaku nie można użyć w wiadomości (brak go w kodowaniu Windows-1250).");
}

QString UnstorableReason(const QString& editText)
{
    for (const char32_t c : Normalised(editText).toUcs4()) {
        if (Storable(c))
            continue;
        const QString code = QStringLiteral("U+%1").arg(static_cast<uint>(c), 4, 16, QChar(u'0')).toUpper();
        const QString named =
            QChar::isPrint(c) ? QStringLiteral("„%1” (%2)").arg(QString::fromUcs4(&c, 1), code) : code;
        return QStringLiteral(
                   "Wiadomość zawiera znak %1, którego nie można zapisać w kodowaniu Windows-1250. "
                   "Usuń go i spróbuj ponownie.")
            .arg(named);
    }
    return {};
}

void ShowUnstorable(QWidget* owner, const QString& reason)
{
    auto* box =
        new QMessageBox(QMessageBox::Warning, QStringLiteral("Brivantel"), reason, QMessageBox::Ok, owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void ShowNote(QWidget* from, const QString& note)
{
    for (QWidget* w = from; w; w = w->window()->parentWidget()) {
        if (auto* main = qobject_cast<QMainWindow*>(w->window())) {
            main->statusBar()->showMessage(note, kNoteMs);
            return;
        }
    }
    if (from)
        QToolTip::showText(from->mapToGlobal(QPoint(0, from->height())), note, from);
}

} // namespace win1250_edit

// --- single line -------------------------------------------------------------------------------

CWin1250LineEdit::CWin1250LineEdit(QWidget* parent) : QLineEdit(parent)
{
    setValidator(new CWin1250Validator(this, [this] { emit refused(win1250_edit::RefusedNote()); }));
}

std::string CWin1250LineEdit::GetStoredText() const
{
    return text_codec::FromQStringLossy(text());
}

void CWin1250LineEdit::SetStoredText(const std::string& text)
{
    setText(text_codec::ToQString(text));
}

// --- multi-line --------------------------------------------------------------------------------

CWin1250TextEdit::CWin1250TextEdit(int limit, QWidget* parent) : QPlainTextEdit(parent), m_limit(limit)
{
    setTabChangesFocus(true);
}

QString CWin1250TextEdit::EditText() const
{
    // The raw text keeps what toPlainText() would change (a no-break space would come back as a blank).
    return Normalised(document()->toRawText());
}

std::optional<std::string> CWin1250TextEdit::GetStoredText() const
{
    return text_codec::FromEditText(EditText());
}

std::string CWin1250TextEdit::GetStoredTextLossy() const
{
    QString kept;
    for (const char32_t c : EditText().toUcs4())
        kept.append(Storable(c) ? QString::fromUcs4(&c, 1) : QStringLiteral("?"));
    return text_codec::FromEditText(kept).value_or(std::string());
}

void CWin1250TextEdit::SetStoredText(const std::string& text)
{
    setPlainText(text_codec::ToEditText(text));
    moveCursor(QTextCursor::End);
}

int CWin1250TextEdit::RoomAtCursor() const
{
    const int selected = win1250_edit::StoredLength(textCursor().selectedText());
    return m_limit - (GetStoredLength() - selected);
}

QString CWin1250TextEdit::Admit(const QString& text)
{
    bool dropped = false;
    const QString kept = win1250_edit::KeepRepresentable(Normalised(text), dropped);
    if (dropped)
        emit refused(win1250_edit::RefusedNote());
    int room = RoomAtCursor();
    QString admitted;
    for (const QChar c : kept) {
        const int cost = c == QChar(u'\n') ? 2 : 1;
        if (cost > room) {
            QApplication::beep();
            break;
        }
        room -= cost;
        admitted.append(c);
    }
    return admitted;
}

void CWin1250TextEdit::keyPressEvent(QKeyEvent* event)
{
    const bool newline = (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
                         !(event->modifiers() & Qt::ControlModifier);
    const bool command = !newline && (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
    const QString typed = event->text();
    const bool printable = !typed.isEmpty() && (typed.at(0).isPrint() || typed.at(0).isSurrogate());
    if (command || (!newline && !printable)) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    const QString wanted = newline ? QStringLiteral("\n") : typed;
    const QString admitted = Admit(wanted);
    // Every Enter (Shift+Enter too, where Qt would put in its own line separator) is the one line
    // break the program stores.
    if (admitted == wanted && !newline) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    if (!admitted.isEmpty()) {
        insertPlainText(admitted);
        ensureCursorVisible();
    }
    event->accept();
}

void CWin1250TextEdit::inputMethodEvent(QInputMethodEvent* event)
{
    const QString wanted = event->commitString();
    if (wanted.isEmpty()) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    const QString admitted = Admit(wanted);
    if (admitted == wanted) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent changed(event->preeditString(), event->attributes());
    changed.setCommitString(admitted, event->replacementStart(), event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&changed);
}

bool CWin1250TextEdit::canInsertFromMimeData(const QMimeData* source) const
{
    return source->hasText();
}

void CWin1250TextEdit::insertFromMimeData(const QMimeData* source)
{
    if (!source->hasText())
        return;
    const QString admitted = Admit(source->text());
    if (!admitted.isEmpty()) {
        insertPlainText(admitted);
        ensureCursorVisible();
    }
}
