#pragma once

#include <string>
#include <vector>

#include "ui/BrivantelView.h"

class CAddress;
class CMessage;
class CWin1250LineEdit;
class CWin1250TextEdit;
class QLabel;
class QProgressBar;
class QPushButton;

// "Wyślij wiadomość": the recipients as address-book display names separated by ";", the text of at
// most 160 characters with its counter, and the program-wide signature. The text and recipients go
// back to the document's CSendMessageViewData when the view goes and come back with the next one.
class CSendMessageView final : public CBrivantelView
{
    Q_OBJECT
public:
    static constexpr int kLimit = 160;

    CSendMessageView(CBrivantelDoc& document, int kind, QWidget* parent = nullptr);
    ~CSendMessageView() override;

    void OnInitialUpdate() override;
    void HandBackQuietly() override;
    bool OnCommand(CommandId command) override;
    std::optional<CCommandState> QueryCommand(CommandId command) const override;

    // The parts of the form, for tests.
    CWin1250LineEdit& GetRecipientsEdit() { return *m_recipientsEdit; }
    CWin1250TextEdit& GetTextEdit() { return *m_textEdit; }
    CWin1250LineEdit& GetSignatureEdit() { return *m_signatureEdit; }
    QPushButton& GetToButton() { return *m_toButton; }
    QString GetCounterText() const;
    int GetProgress() const;
    const std::vector<CAddress*>& GetEntries() const { return m_entries; }
    const CMessage* GetDraft() const { return m_draft; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void BuildForm();
    // The fields from the edits, and back.
    void ReadFields();
    void ShowFields();
    void RebuildEntries();
    void UpdateCounter(int value);
    void OnTextChanged();
    // The status bar says how many SMS the text takes on the phone route, when more than one.
    void ShowPhoneSmsCount();
    void OnSignatureChanged();

    void OnChooseRecipients();
    void OnCheckRecipients();
    // True (and the user told why) when the text holds a character that cannot be kept.
    bool RefuseUnstorableText();
    void OnSend();
    void OnSendLater();
    void OnSave();
    void OnClear();
    void OnInsertMessage();

    std::string m_recipients;
    std::string m_text;
    std::string m_signature;
    std::vector<CAddress*> m_entries; // not owned: the address book's
    CMessage* m_draft = nullptr;      // not owned: the drafts folder's
    bool m_showing = false;
    bool m_textStorable = true;
    bool m_phoneLine = false; // the status bar shows our count

    QPushButton* m_toButton = nullptr;
    CWin1250LineEdit* m_recipientsEdit = nullptr;
    CWin1250TextEdit* m_textEdit = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_counter = nullptr;
    CWin1250LineEdit* m_signatureEdit = nullptr;
};
