#pragma once

#include <QTimer>

#include "ui/BrivantelView.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

// "Sprawdzanie poczty e-mail": the watched mailbox, how often to look and where the notice goes.
// Every change goes into the document's record and the data file is saved at once; the count
// found by the last check is shown every second.
class CMailCheckerView final : public CBrivantelView
{
    Q_OBJECT
public:
    static constexpr int kMinInterval = 1;
    static constexpr int kMaxInterval = 3600;

    CMailCheckerView(CBrivantelDoc& document, int kind, QWidget* parent = nullptr);
    ~CMailCheckerView() override;

    void OnInitialUpdate() override;
    void HandBackQuietly() override;

    // "Sprawdź teraz".
    void OnCheckNow();

    QLineEdit* ServerEdit() const { return m_server; }
    QLineEdit* UserEdit() const { return m_user; }
    QLineEdit* PasswordEdit() const { return m_password; }
    QCheckBox* EnabledBox() const { return m_enabled; }
    QLineEdit* IntervalEdit() const { return m_interval; }
    QToolButton* SpinUp() const { return m_up; }
    QToolButton* SpinDown() const { return m_down; }
    QLabel* MinutesLabel() const { return m_minutes; }
    QPushButton* CheckNowButton() const { return m_checkNow; }
    QLineEdit* CountEdit() const { return m_count; }
    QCheckBox* NotifyBox() const { return m_notify; }
    QComboBox* CountryBox() const { return m_country; }
    QComboBox* NetworkBox() const { return m_network; }
    QLineEdit* NumberEdit() const { return m_number; }
    QPlainTextEdit* NoticeEdit() const { return m_notice; }
    QTimer& GetPageTimer() { return m_timer; }

private:
    void BuildLayout();
    void LoadRecord();
    void UpdateEnabling();
    // Reads the controls into the record and saves the data file. An interval that is no number
    // or out of range is left as it was; the message says why when the user finishes the field.
    void Apply();
    void OnIntervalFinished();
    void StepInterval(int delta);
    void ShowCount();

    QLineEdit* m_server;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QCheckBox* m_enabled;
    QLineEdit* m_interval;
    QToolButton* m_up;
    QToolButton* m_down;
    QLabel* m_minutes;
    QPushButton* m_checkNow;
    QLineEdit* m_count;
    QCheckBox* m_notify;
    QComboBox* m_country;
    QComboBox* m_network;
    QLineEdit* m_number;
    QPlainTextEdit* m_notice;
    QTimer m_timer;
    bool m_loading = false;
};
