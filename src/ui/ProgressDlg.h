#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

// The modeless progress window of sending and of the online update: one line of text and a bar.
// It repaints itself at every change, because while it is up the program is waiting on the network
// and only paints.
class CProgressDlg final : public QDialog
{
    Q_OBJECT
public:
    explicit CProgressDlg(QWidget* parent = nullptr);

    void SetText(const QString& text);
    void SetRange(int upper);
    void SetPos(int pos);

    QString GetText() const;
    int GetPos() const;
    int GetUpper() const;

private:
    QLabel* m_text;
    QProgressBar* m_bar;
};
