#include "ui/QtUserInterface.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>

#include "app/qt/TextCodec.h"
#include "ui/ProgressDlg.h"
#include "ui/SendFailedDlg.h"
#include "ui/StopButton.h"

namespace {

// Boxes, labels and titles show the program's texts as they are meant: every CR LF, CR or LF
// is a line break. (Edits keep lone CRs and LFs as marks of their own, so that they come back
// as the same bytes; a box gives nothing back.)
QString Text(const std::string& text)
{
    QString s = text_codec::ToQString(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

// The message of the failure dialog is shown in an edit, byte for byte.
QString EditText(const std::string& text)
{
    return text_codec::ToEditText(text);
}

QMessageBox::Icon BoxIcon(CUserInterface::Icon icon)
{
    switch (icon) {
    case CUserInterface::Icon::Information:
        return QMessageBox::Information;
    case CUserInterface::Icon::Exclamation:
        return QMessageBox::Warning;
    case CUserInterface::Icon::Error:
        return QMessageBox::Critical;
    case CUserInterface::Icon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QString Title()
{
    return QStringLiteral("Brivantel");
}

} // namespace

CQtUserInterface::CQtUserInterface() = default;
CQtUserInterface::~CQtUserInterface() = default;

void CQtUserInterface::ShowMessage(const std::string& text, Icon icon)
{
    QMessageBox box(BoxIcon(icon), Title(), Text(text), QMessageBox::Ok, m_owner);
    box.exec();
}

bool CQtUserInterface::AskYesNo(const std::string& text)
{
    QMessageBox box(QMessageBox::Question, Title(), Text(text), QMessageBox::Yes | QMessageBox::No, m_owner);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::string CQtUserInterface::ChooseSaveFile(const std::string& suggestedPath)
{
    const QString path = QFileDialog::getSaveFileName(m_owner, QStringLiteral("Zapisz jako"),
                                                      QString::fromStdString(suggestedPath),
                                                      QStringLiteral("Brivantel (*.vs);;*"));
    return path.toStdString();
}

void CQtUserInterface::SetWaitCursor(bool on)
{
    if (on) {
        ++m_waitCursors;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (m_waitCursors > 0) {
        --m_waitCursors;
        QApplication::restoreOverrideCursor();
    }
}

void CQtUserInterface::WaitHook()
{
    // Only what keeps the windows drawn while a gateway or the phone is waited for: pending layouts
    // and repaints, and the window system's exposures. Clicks and keys stay queued, timers and
    // sockets are not served, so nothing can start a second send or a mail check meanwhile.
    if (m_inWaitHook)
        return;
    m_inWaitHook = true;
    // A stop button that is up gets its clicks; nothing else does.
    if (CStopButton::ServeEvents()) {
        m_inWaitHook = false;
        return;
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers |
                                    QEventLoop::X11ExcludeTimers);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    m_inWaitHook = false;
}

void CQtUserInterface::ShowSendFailed(const std::string& text, const std::string& recipient,
                                      const std::string& information)
{
    CSendFailedDlg dialog(EditText(text), Text(recipient), Text(information), m_owner);
    // A modal window in the middle of a send: the arrow, not the hourglass, while it is up.
    const bool waiting = m_waitCursors > 0;
    if (waiting)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    dialog.exec();
    if (waiting)
        QApplication::restoreOverrideCursor();
}

void CQtUserInterface::ShowFailureReason(const std::string& number, const std::string& reason)
{
    if (auto* window = qobject_cast<QMainWindow*>(m_owner.data()))
        window->statusBar()->showMessage(Text(number + ": " + reason));
}

void CQtUserInterface::ShowSendRoute(const std::string& text)
{
    if (auto* window = qobject_cast<QMainWindow*>(m_owner.data()))
        window->statusBar()->showMessage(Text(text));
}

std::optional<std::string> CQtUserInterface::AskPassword(const std::string& text)
{
    // On the heap and guarded, as every dialog the program's end may find open.
    QPointer<QInputDialog> dialog = new QInputDialog(m_owner);
    dialog->setObjectName(QStringLiteral("pinDialog"));
    dialog->setWindowTitle(QStringLiteral("Kod PIN"));
    dialog->setLabelText(Text(text));
    dialog->setTextEchoMode(QLineEdit::Password);
    dialog->setInputMethodHints(Qt::ImhDigitsOnly | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
    const int answer = dialog->exec();
    if (!dialog)
        return std::nullopt;
    const std::unique_ptr<QInputDialog> owned(dialog.data());
    if (answer != QDialog::Accepted || owned->textValue().isEmpty())
        return std::nullopt;
    return owned->textValue().toStdString(); // digits only: the same bytes in any code page
}

void CQtUserInterface::ProgressOpen(const std::string& title)
{
    if (CProgressDlg* outer = GetProgress())
        outer->hide();
    m_progress.push_back(std::make_unique<CProgressDlg>(m_owner));
    CProgressDlg& dialog = *m_progress.back();
    dialog.setWindowTitle(Text(title));
    dialog.show();
    dialog.raise();
    WaitHook();
}

void CQtUserInterface::ProgressSetTitle(const std::string& title)
{
    if (CProgressDlg* dialog = GetProgress())
        dialog->setWindowTitle(Text(title));
}

void CQtUserInterface::ProgressSetText(const std::string& text)
{
    if (CProgressDlg* dialog = GetProgress())
        dialog->SetText(Text(text));
}

void CQtUserInterface::ProgressSetRange(int upper)
{
    if (CProgressDlg* dialog = GetProgress())
        dialog->SetRange(upper);
}

void CQtUserInterface::ProgressSetPos(int pos)
{
    if (CProgressDlg* dialog = GetProgress())
        dialog->SetPos(pos);
}

void CQtUserInterface::ProgressClose()
{
    if (m_progress.empty())
        return;
    m_progress.back()->hide();
    m_progress.pop_back();
    if (CProgressDlg* outer = GetProgress()) {
        outer->show();
        outer->raise();
    }
}

void CQtUserInterface::ProgressAddStopButton(const std::string& text)
{
    if (CProgressDlg* dialog = GetProgress())
        dialog->AddStopButton(Text(text));
}

void CQtUserInterface::ProgressAddDisabledButton(const std::string& text)
{
    if (CProgressDlg* dialog = GetProgress())
        dialog->AddDisabledButton(Text(text));
}
