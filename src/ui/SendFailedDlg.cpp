#include "ui/SendFailedDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CSendFailedDlg::CSendFailedDlg(const QString& text, const QString& recipient, const QString& information,
                               QWidget* parent)
    : QDialog(parent), m_recipient(new QLineEdit(recipient)), m_text(new QPlainTextEdit(text)),
      m_information(new QLabel(information))
{
    setWindowTitle(QStringLiteral("Wysyłanie"));
    m_recipient->setObjectName(QStringLiteral("Recipient"));
    m_recipient->setReadOnly(true);
    m_text->setObjectName(QStringLiteral("MessageText"));
    m_text->setReadOnly(true);
    m_text->setFixedHeight(m_text->fontMetrics().lineSpacing() * 4 + 12);
    m_information->setObjectName(QStringLiteral("Information"));
    m_information->setWordWrap(true);

    auto* first = new QHBoxLayout;
    first->addWidget(new QLabel(QStringLiteral("Wiadomość ")));
    first->addWidget(m_recipient, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->setCenterButtons(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->addLayout(first);
    layout->addWidget(m_text);
    layout->addWidget(new QLabel(QStringLiteral("nie została wysłana.")));
    layout->addSpacing(6);
    layout->addWidget(m_information);
    m_information->setVisible(!information.isEmpty());
    layout->addWidget(buttons);
    buttons->button(QDialogButtonBox::Ok)->setFocus();
    setMinimumWidth(400);
}

QString CSendFailedDlg::GetText() const
{
    return m_text->toPlainText();
}

QString CSendFailedDlg::GetRecipient() const
{
    return m_recipient->text();
}

QString CSendFailedDlg::GetInformation() const
{
    return m_information->text();
}
