#include "ui/QtUserInterface.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStyle>
#include <QVBoxLayout>

#include "app/qt/TextCodec.h"
#include "ui/ProgressDlg.h"

namespace {

QString Text(const std::string& text)
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
    // Only what keeps the windows drawn: pending layouts and repaints. Clicks, keys and timers wait
    // in the queue until the network call returns.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
}

void CQtUserInterface::ShowSendFailed(const std::string& text, const std::string& recipient,
                                      const std::string& information)
{
    QDialog dialog(m_owner);
    dialog.setWindowTitle(QStringLiteral("Wysyłanie"));
    auto* icon = new QLabel;
    icon->setPixmap(dialog.style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    auto* heading = new QLabel(QStringLiteral("Nie udało się wysłać wiadomości."));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    auto* message = new QPlainTextEdit(Text(text));
    message->setReadOnly(true);
    message->setFixedHeight(80);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Odbiorca:"), new QLabel(Text(recipient)));
    form->addRow(QStringLiteral("Wiadomość:"), message);
    auto* texts = new QVBoxLayout;
    texts->addWidget(heading);
    texts->addLayout(form);
    if (!information.empty()) {
        auto* info = new QLabel(Text(information));
        info->setWordWrap(true);
        texts->addWidget(info);
    }
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(texts, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(top);
    layout->addWidget(buttons);
    dialog.resize(420, dialog.sizeHint().height());
    dialog.exec();
}

void CQtUserInterface::ProgressOpen(const std::string& title)
{
    m_progress = std::make_unique<CProgressDlg>(m_owner);
    m_progress->setWindowTitle(Text(title));
    m_progress->show();
    m_progress->raise();
    WaitHook();
}

void CQtUserInterface::ProgressSetTitle(const std::string& title)
{
    if (m_progress)
        m_progress->setWindowTitle(Text(title));
}

void CQtUserInterface::ProgressSetText(const std::string& text)
{
    if (m_progress)
        m_progress->SetText(Text(text));
}

void CQtUserInterface::ProgressSetRange(int upper)
{
    if (m_progress)
        m_progress->SetRange(upper);
}

void CQtUserInterface::ProgressSetPos(int pos)
{
    if (m_progress)
        m_progress->SetPos(pos);
}

void CQtUserInterface::ProgressClose()
{
    m_progress.reset();
}
