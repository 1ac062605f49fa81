#include "ui/EditDefinedMessageDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/Win1250Edit.h"

CEditDefinedMessageDialog::CEditDefinedMessageDialog(const std::string& text, QWidget* parent)
    : QDialog(parent), m_text(text), m_edit(new CWin1250TextEdit(kLimit)), m_counter(new QLabel),
      m_progress(new QProgressBar)
{
    setWindowTitle(text.empty() ? QStringLiteral("Dodaj wiadomość") : QStringLiteral("Zmień wiadomość"));
    m_edit->setObjectName(QStringLiteral("Text"));
    m_edit->SetStoredText(text);
    m_edit->setMinimumSize(320, 110);
    m_counter->setObjectName(QStringLiteral("Counter"));
    m_counter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_counter->setMinimumWidth(m_counter->fontMetrics().horizontalAdvance(QStringLiteral("000-160")) + 4);
    m_progress->setObjectName(QStringLiteral("Progress"));
    m_progress->setRange(0, kLimit);
    m_progress->setTextVisible(false);
    m_progress->setMaximumHeight(14);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Anuluj"));
    // Enter starts a new line in the text; OK is clicked, not defaulted.
    m_ok->setAutoDefault(false);
    m_ok->setDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* status = new QHBoxLayout;
    status->addWidget(m_progress, 1);
    status->addWidget(m_counter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_edit, 1);
    layout->addLayout(status);
    layout->addWidget(buttons);

    connect(m_edit, &QPlainTextEdit::textChanged, this, &CEditDefinedMessageDialog::Update);
    connect(m_edit, &CWin1250TextEdit::refused, this,
            [this](const QString& note) { win1250_edit::ShowNote(m_edit, note); });
    Update();
    m_edit->setFocus();
}

void CEditDefinedMessageDialog::Update()
{
    const int n = m_edit->GetStoredLength();
    m_progress->setValue(std::min(n, kLimit));
    m_counter->setText(QStringLiteral("%1-160").arg(n));
    m_ok->setEnabled(n > 0);
}

QString CEditDefinedMessageDialog::GetCounterText() const
{
    return m_counter->text();
}

int CEditDefinedMessageDialog::GetProgress() const
{
    return m_progress->value();
}

void CEditDefinedMessageDialog::accept()
{
    if (m_edit->GetStoredLength() == 0)
        return;
    const auto text = m_edit->GetStoredText();
    if (!text) {
        // The stored text stays as it was; the dialog stays open with what the user wrote.
        win1250_edit::ShowUnstorable(this, m_edit->UnstorableReason());
        return;
    }
    m_text = *text;
    QDialog::accept();
}
