#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

// The modal "Wysyłanie" window of a message that did not go out. It reads as one sentence:
// "Wiadomość " [recipient] [message text] "nie została wysłana.", with a line of information below.
class CSendFailedDlg final : public QDialog
{
    Q_OBJECT
public:
    // Texts as the widgets show them (line breaks as LF).
    CSendFailedDlg(const QString& text, const QString& recipient, const QString& information,
                   QWidget* parent = nullptr);

    QString GetText() const;
    QString GetRecipient() const;
    QString GetInformation() const;

private:
    QLineEdit* m_recipient;
    QPlainTextEdit* m_text;
    QLabel* m_information;
};
