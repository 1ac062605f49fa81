#pragma once

#include <string>

#include <QDialog>

class CWin1250TextEdit;
class QLabel;
class QProgressBar;
class QPushButton;

// Writes one ready-made text of at most 160 characters: "Dodaj wiadomość" for a new one, "Zmień
// wiadomość" for an existing one. OK stays disabled while the text is empty.
class CEditDefinedMessageDialog final : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kLimit = 160;

    // text: Windows-1250 with CR LF line breaks.
    explicit CEditDefinedMessageDialog(const std::string& text, QWidget* parent = nullptr);

    // The edited text, once the dialog ended with OK.
    const std::string& GetText() const { return m_text; }

    CWin1250TextEdit& GetEdit() { return *m_edit; }
    QString GetCounterText() const;
    int GetProgress() const;
    QPushButton& GetOkButton() { return *m_ok; }

    void accept() override;

private:
    void Update();

    std::string m_text;
    CWin1250TextEdit* m_edit;
    QLabel* m_counter;
    QProgressBar* m_progress;
    QPushButton* m_ok;
};
