#pragma once

#include <memory>

#include <QDialog>

#include "ui/StopButton.h"

class QLabel;
class QVBoxLayout;
class QProgressBar;

// The modeless "Wysyłanie wiadomości" window of sending and of the online update: one line of text
// and a bar with a range and a step. It repaints itself at every change, because while it is up the
// program is waiting on the network and only paints.
class CProgressDlg final : public QDialog
{
    Q_OBJECT
public:
    explicit CProgressDlg(QWidget* parent = nullptr);

    void SetText(const QString& text);
    // The bar runs from 0 to upper; StepIt moves it on by the step, stopping at the end.
    void SetRange(int upper);
    void SetStep(int step);
    void StepIt();
    void SetPos(int pos);
    // A button under the bar that stays disabled: the operation cannot be stopped halfway.
    void AddDisabledButton(const QString& text);
    // A button under the bar that stops the operation: see CStopButton.
    void AddStopButton(const QString& text);

    QString GetText() const;
    int GetPos() const;
    int GetUpper() const;

private:
    QLabel* m_text;
    QProgressBar* m_bar;
    QVBoxLayout* m_layout;
    int m_step = 1;
    std::unique_ptr<CStopButton> m_stop;
};
