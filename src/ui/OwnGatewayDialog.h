#pragma once

#include <QDialog>

#include "send/OwnGatewaySender.h"

class CBrivantelDoc;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// "Własna bramka": the settings of the user's own SMS gateway (section "Gateway" of the settings
// store) and a test message sent with the values as they stand in the fields. OK keeps them.
class COwnGatewayDialog final : public QDialog
{
    Q_OBJECT
public:
    explicit COwnGatewayDialog(CBrivantelDoc& document, QWidget* parent = nullptr);

    void accept() override;
    // During the test send "Anuluj" stops the send; the dialog closes once the send has wound up.
    void reject() override;

private:
    COwnGatewaySender::Config FieldValues() const;
    void SendTest();
    // "Nagłówki" shows the values as "***" until "Pokaż" is pressed: they hold tokens.
    void ShowHeaders(bool shown);
    QString HeadersText() const;
    void ChooseCaFile();

    CBrivantelDoc& m_document;
    QCheckBox* m_enabled;
    QLineEdit* m_name;
    QLineEdit* m_url;
    QComboBox* m_method;
    QLineEdit* m_body;
    QComboBox* m_contentType;
    QPlainTextEdit* m_headers;
    QPushButton* m_showHeaders;
    QString m_hiddenHeaders; // the real text while the field shows it masked
    bool m_headersShown = false;
    QLineEdit* m_success;
    QLineEdit* m_numbers;
    QLineEdit* m_caFile;
    QLineEdit* m_testNumber;
    QPushButton* m_testButton;
    QLabel* m_status;
    QPlainTextEdit* m_reply;
    QPushButton* m_cancel = nullptr;
    bool m_testing = false;
    bool m_rejectAfterTest = false;
};
