#include "ui/SendMessageView.h"

#include <algorithm>

#include <QContextMenuEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include "app/Document.h"
#include "app/SettingsKeys.h"
#include "app/TypedNumber.h"
#include "app/qt/BrivantelApp.h"
#include "send/PhoneSender.h"
#include "store/Address.h"
#include "store/AddressBook.h"
#include "store/Message.h"
#include "store/Recipients.h"
#include "ui/CheckRecipientsDialog.h"
#include "ui/Commands.h"
#include "ui/DefinedMessagesDialog.h"
#include "ui/SelectRecipientsDialog.h"
#include "ui/Win1250Edit.h"

namespace {

void DropFinalSeparator(std::string& text)
{
    if (!text.empty() && text.back() == ';')
        text.pop_back();
}

// The signature is the program's, not the view's: the application object keeps it for the run and
// writes it to "Settings"/"Sign" at the end; the document's senders read the same text.
std::string ProgramSignature(const CBrivantelDoc& document)
{
    if (const CBrivantelApp* app = CBrivantelApp::Instance())
        return app->GetSignature();
    return document.GetSignature();
}

void SetProgramSignature(CBrivantelDoc& document, const std::string& signature)
{
    if (CBrivantelApp* app = CBrivantelApp::Instance())
        app->SetSignature(signature);
    document.SetSignature(signature);
}

} // namespace

CSendMessageView::CSendMessageView(CBrivantelDoc& document, int kind, QWidget* parent)
    : CBrivantelView(document, kind, parent), m_signature(ProgramSignature(document))
{
    setObjectName(QStringLiteral("SendMessageView"));
    BuildForm();
}

CSendMessageView::~CSendMessageView()
{
    HandBackQuietly();
}

void CSendMessageView::HandBackQuietly()
{
    // What is being written survives the switch to another view and the program's end.
    ReadFields();
    CSendMessageViewData& saved = GetDocument().GetSendMessageViewData();
    saved.recipients = m_recipients;
    saved.text = m_text;
    GetDocument().NotifyChanged(DocChange::ViewData);
}

void CSendMessageView::BuildForm()
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);

    m_toButton = new QPushButton(QStringLiteral("Do:"));
    m_toButton->setObjectName(QStringLiteral("ToButton"));
    m_toButton->setAutoDefault(false);
    m_recipientsEdit = new CWin1250LineEdit;
    m_recipientsEdit->setObjectName(QStringLiteral("Recipients"));
    auto* recipients = new QGroupBox(QStringLiteral("Odbiorcy"));
    auto* recipientsLayout = new QHBoxLayout(recipients);
    recipientsLayout->addWidget(m_toButton);
    recipientsLayout->addWidget(m_recipientsEdit, 1);

    m_textEdit = new CWin1250TextEdit(kLimit);
    m_textEdit->setObjectName(QStringLiteral("Text"));
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("Progress"));
    m_progress->setRange(0, kLimit);
    m_progress->setTextVisible(false);
    m_progress->setMaximumHeight(14);
    m_counter = new QLabel;
    m_counter->setObjectName(QStringLiteral("Counter"));
    m_counter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_counter->setMinimumWidth(m_counter->fontMetrics().horizontalAdvance(QStringLiteral("000-160")) + 4);
    auto* message = new QGroupBox(QStringLiteral("Wiadomość"));
    auto* messageLayout = new QGridLayout(message);
    messageLayout->addWidget(m_textEdit, 0, 0, 1, 2);
    messageLayout->addWidget(m_progress, 1, 0);
    messageLayout->addWidget(m_counter, 1, 1);

    m_signatureEdit = new CWin1250LineEdit;
    m_signatureEdit->setObjectName(QStringLiteral("Signature"));
    auto* signature = new QGroupBox(QStringLiteral("Podpis"));
    auto* signatureLayout = new QHBoxLayout(signature);
    signatureLayout->addWidget(m_signatureEdit);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(recipients);
    layout->addWidget(message, 1);
    layout->addWidget(signature);

    connect(m_toButton, &QPushButton::clicked, this, &CSendMessageView::OnChooseRecipients);
    connect(m_recipientsEdit, &QLineEdit::textChanged, this, [this] {
        if (m_showing)
            return;
        ReadFields();
        RebuildEntries();
    });
    connect(m_textEdit, &QPlainTextEdit::textChanged, this, &CSendMessageView::OnTextChanged);
    connect(m_signatureEdit, &QLineEdit::textChanged, this, &CSendMessageView::OnSignatureChanged);
    for (CWin1250LineEdit* edit : {m_recipientsEdit, m_signatureEdit})
        connect(edit, &CWin1250LineEdit::refused, this,
                [edit](const QString& note) { win1250_edit::ShowNote(edit, note); });
    connect(m_textEdit, &CWin1250TextEdit::refused, this,
            [this](const QString& note) { win1250_edit::ShowNote(m_textEdit, note); });
    // The commands go by whether there is a text and whether there are recipients.
    connect(m_recipientsEdit, &QLineEdit::textChanged, this, &CBrivantelView::commandStateChanged);
    connect(m_textEdit, &QPlainTextEdit::textChanged, this, &CBrivantelView::commandStateChanged);
}

void CSendMessageView::OnInitialUpdate()
{
    const CSendMessageViewData& saved = GetDocument().GetSendMessageViewData();
    m_recipients = saved.recipients;
    m_text = saved.text;
    ShowFields();
    m_progress->setValue(std::min(m_textEdit->GetStoredLength(), kLimit));
    UpdateCounter(static_cast<int>(m_signature.size()) + m_textEdit->GetStoredLength() + 1);
    RebuildEntries();
    m_textEdit->setFocus();
}

// --- fields ------------------------------------------------------------------------------------

void CSendMessageView::ReadFields()
{
    m_recipients = m_recipientsEdit->GetStoredText();
    // A text that cannot be kept is never taken as an empty one: the commands refuse it, and only
    // the view's own state keeps it with "?" for what cannot be kept.
    const auto text = m_textEdit->GetStoredText();
    m_textStorable = text.has_value();
    m_text = text ? *text : m_textEdit->GetStoredTextLossy();
    m_signature = m_signatureEdit->GetStoredText();
}

void CSendMessageView::ShowFields()
{
    // Showing the fields is not an edit by the user: the change handlers stay out of it.
    // The signature goes first: the text's change handler reads it back for the counter.
    m_showing = true;
    m_signatureEdit->SetStoredText(m_signature);
    m_recipientsEdit->SetStoredText(m_recipients);
    if (m_textEdit->GetStoredText() != m_text) // an edit that cannot be kept is replaced as well
        m_textEdit->SetStoredText(m_text);
    m_showing = false;
}

void CSendMessageView::RebuildEntries()
{
    m_entries.clear();
    const CAddressBook& book = GetDocument().GetAddressBook();
    for (const std::string& name : ::recipients::Split(m_recipients)) {
        if (CAddress* entry = book.FindByDisplayName(name))
            m_entries.push_back(entry);
    }
}

void CSendMessageView::UpdateCounter(int value)
{
    m_counter->setText(QStringLiteral("%1-160").arg(value));
}

void CSendMessageView::OnTextChanged()
{
    ReadFields();
    const int length = m_textEdit->GetStoredLength();
    m_progress->setValue(std::min(length, kLimit));
    // The counter shows what goes out: the signature, a separator and the text.
    UpdateCounter(static_cast<int>(m_signature.size()) + length + 1);
    ShowPhoneSmsCount();
}

void CSendMessageView::ShowPhoneSmsCount()
{
    auto* main = qobject_cast<QMainWindow*>(window());
    if (!main)
        return;
    // The phone route sends the text alone: the signature goes only to the web gateways.
    const int count =
        GetDocument().GetSettings().GetRoute() == ROUTE_PHONE
            ? CPhoneSender::SmsCount(m_text, CPhoneSender::EncodingFor(GetDocument().GetSettingsStore().Get(
                                                 settings_keys::kPhoneEncoding)))
            : 1;
    if (count > 1) {
        main->statusBar()->showMessage(QStringLiteral("%1 SMS przez telefon").arg(count));
        m_phoneLine = true;
    } else if (m_phoneLine) {
        main->statusBar()->clearMessage();
        m_phoneLine = false;
    }
}

void CSendMessageView::OnSignatureChanged()
{
    if (m_showing)
        return;
    ReadFields();
    // The counter is left as it is until the text changes.
    SetProgramSignature(GetDocument(), m_signature);
}

QString CSendMessageView::GetCounterText() const
{
    return m_counter->text();
}

int CSendMessageView::GetProgress() const
{
    return m_progress->value();
}

// --- commands ----------------------------------------------------------------------------------

std::optional<CCommandState> CSendMessageView::QueryCommand(CommandId command) const
{
    const bool text = !m_textEdit->toPlainText().isEmpty();
    const bool recipients = !m_recipientsEdit->text().isEmpty();
    switch (command) {
    case CommandId::Send:
    case CommandId::SendLater:
        return CCommandState{text && recipients};
    case CommandId::SaveDraft:
    case CommandId::Clear:
        return CCommandState{text || recipients};
    case CommandId::InsertMessage:
        return CCommandState{true};
    case CommandId::CheckRecipients:
        return CCommandState{recipients};
    default:
        return std::nullopt;
    }
}

bool CSendMessageView::OnCommand(CommandId command)
{
    switch (command) {
    case CommandId::Send:
        OnSend();
        return true;
    case CommandId::SendLater:
        OnSendLater();
        return true;
    case CommandId::SaveDraft:
        OnSave();
        return true;
    case CommandId::Clear:
        OnClear();
        return true;
    case CommandId::InsertMessage:
        OnInsertMessage();
        return true;
    case CommandId::CheckRecipients:
        OnCheckRecipients();
        return true;
    default:
        return false;
    }
}

void CSendMessageView::contextMenuEvent(QContextMenuEvent* event)
{
    ShowCommandPopup(event->globalPos());
}

void CSendMessageView::OnChooseRecipients()
{
    ReadFields();
    RebuildEntries();
    std::vector<CAddress*> chosen = m_entries;
    CSelectRecipientsDialog dialog(GetDocument().GetAddressBook(), chosen, this);
    const int result = dialog.exec();
    // The chooser can add and edit entries, also when it is cancelled.
    GetDocument().NotifyChanged(DocChange::AddressBook);
    if (result != QDialog::Accepted)
        return;
    // The names from the last chosen entry to the first, as the program has always written them.
    m_entries = chosen;
    m_recipients.clear();
    for (auto entry = m_entries.rbegin(); entry != m_entries.rend(); ++entry)
        m_recipients += (*entry)->GetDisplayName() + ";";
    DropFinalSeparator(m_recipients);
    ShowFields();
}

void CSendMessageView::OnCheckRecipients()
{
    ReadFields();
    CAddressBook& book = GetDocument().GetAddressBook();
    std::string result;
    std::vector<std::string> unknown;
    for (const std::string& piece : ::recipients::Split(m_recipients)) {
        // A number needs no entry (a reply to someone the book does not know): it is kept in the
        // full form the send files it under, so the outbox can send it later too.
        const bool named = book.ExistsDisplayName(piece);
        const std::string number = named ? std::string() : typed_number::NumberOf(piece);
        if (named)
            result += piece + ";";
        else if (!number.empty())
            result += number + ";";
        else if (!piece.empty())
            unknown.push_back(piece);
    }
    if (!unknown.empty()) {
        CCheckRecipientsDialog dialog(unknown, book, this);
        dialog.exec();
        GetDocument().NotifyChanged(DocChange::AddressBook);
        for (const std::string& name : unknown)
            result += name + ";";
    }
    DropFinalSeparator(result);
    m_recipients = result;
    ShowFields();
    RebuildEntries();
}

bool CSendMessageView::RefuseUnstorableText()
{
    ReadFields();
    if (m_textStorable)
        return false;
    win1250_edit::ShowUnstorable(this, m_textEdit->UnstorableReason());
    return true;
}

void CSendMessageView::OnSend()
{
    if (RefuseUnstorableText())
        return;
    OnCheckRecipients();
    const CAddressBook& book = GetDocument().GetAddressBook();
    std::string numbers;
    for (const std::string& name : ::recipients::Split(m_recipients)) {
        if (const CAddress* entry = book.FindByDisplayName(name))
            numbers += entry->GetFullNumber() + ";";
        else if (const std::string number = typed_number::NumberOf(name); !number.empty())
            numbers += number + ";";
    }
    DropFinalSeparator(numbers);
    // The view keeps its recipients and text: the same message may go to others next.
    GetDocument().SendToRecipients(m_recipients, numbers, m_text, ROUTE_CONFIGURED);
}

void CSendMessageView::OnSendLater()
{
    if (RefuseUnstorableText())
        return;
    auto message = std::make_unique<CMessage>(m_recipients, m_text);
    GetDocument().GetOutbox().AddMessage(message);
    GetDocument().NotifyChanged(DocChange::Outbox);
    OnClear();
}

void CSendMessageView::OnSave()
{
    if (RefuseUnstorableText())
        return;
    CDraftsList& drafts = GetDocument().GetDrafts();
    // The draft saved from this view is changed in place; one that has left the folder since is
    // no longer this view's.
    const bool stillFiled =
        m_draft && std::any_of(drafts.GetMessages().begin(), drafts.GetMessages().end(),
                               [this](const auto& message) { return message.get() == m_draft; });
    if (stillFiled) {
        m_draft->SetText(m_text);
        m_draft->SetRecipients(m_recipients);
        GetDocument().NotifyChanged(DocChange::Drafts);
        return;
    }
    auto message = std::make_unique<CMessage>(m_recipients, m_text);
    CMessage* filed = message.get();
    m_draft = drafts.AddMessage(message) ? filed : nullptr;
    GetDocument().NotifyChanged(DocChange::Drafts);
}

void CSendMessageView::OnClear()
{
    m_recipients.clear();
    m_text.clear();
    ShowFields();
    RebuildEntries();
    m_draft = nullptr;
}

void CSendMessageView::OnInsertMessage()
{
    std::string chosen;
    CDefinedMessagesDialog dialog(GetDocument().GetDefinedMessages(), chosen, this);
    const int result = dialog.exec();
    // The list can be edited in the dialog, also when nothing is inserted.
    GetDocument().NotifyChanged(DocChange::DefinedMessages);
    if (result != QDialog::Accepted)
        return;
    m_textEdit->SetStoredText(chosen);
    m_textEdit->setFocus();
    ReadFields();
    const int length = m_textEdit->GetStoredLength();
    m_progress->setValue(std::min(length, kLimit));
    // After an insertion the counter shows the text alone, until the text is next changed.
    UpdateCounter(length);
}
