// The document's send operations: one text to a list of numbers, the outbox, and the question
// about the outbox when the program closes.

#include <algorithm>
#include <chrono>
#include <string_view>
#include <thread>

#include "app/Document.h"
#include "app/SettingsStore.h"
#include "app/UserInterface.h"
#include "net/StopRequest.h"
#include "store/Recipients.h"
#include "store/Windows1250.h"

namespace {

std::string Polish(std::string_view utf8)
{
    return windows1250::FromUtf8Lossy(utf8);
}

std::string ProgressTitle()
{
    return Polish("Wysyłanie wiadomości");
}

std::string ProgressLine(int index, int count)
{
    return Polish("Wysyłanie wiadomości ") + std::to_string(index) + " z " + std::to_string(count) + ".";
}

std::string QueuedInformation()
{
    return Polish(
        "Wiadomość została umieszczona w folderze \"Wiadomości wysyłane\" i zostanie wysłana poźniej.");
}

// The failure dialog's information line: the route's warning, when it gave one, before the rest.
std::string WithWarning(const std::string& warning, const std::string& information)
{
    if (warning.empty())
        return information;
    return information.empty() ? warning : warning + "\n" + information;
}

// "+" and digits: a number filed under itself (a mail notice, or a number with no entry).
bool IsFullNumber(const std::string& text)
{
    return text.size() > 1 && text.front() == '+' &&
           std::all_of(text.begin() + 1, text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The non-empty pieces between the ";".
std::vector<std::string> Names(const std::string& text)
{
    std::vector<std::string> names = ::recipients::Split(text);
    names.erase(std::remove(names.begin(), names.end(), std::string()), names.end());
    return names;
}

template <class List> CMessage* File(List& list, const std::string& recipients, const std::string& text)
{
    auto message = std::make_unique<CMessage>(recipients, text);
    CMessage* filed = message.get();
    return list.AddMessage(message) ? filed : nullptr;
}

// The numbers between the ";"; empty pieces have no one to go to.
std::vector<std::string> Numbers(const std::string& numbers)
{
    std::vector<std::string> pieces;
    std::size_t from = 0;
    for (;;) {
        const auto end = numbers.find(';', from);
        std::string piece = numbers.substr(from, end == std::string::npos ? std::string::npos : end - from);
        if (!piece.empty())
            pieces.push_back(std::move(piece));
        if (end == std::string::npos)
            return pieces;
        from = end + 1;
    }
}

// The user stopped the send with "Przerwij": what did not go out waits in the outbox, and the
// failure dialog says so. The stop ends with the operation it stopped.
void ReportUserStop(CUserInterface& ui, const std::string& text, const std::string& recipients)
{
    if (!net_stop::RequestedByUser())
        return;
    net_stop::ClearUserRequest();
    if (!net_stop::EndRequested())
        ui.ShowSendFailed(text, recipients, Polish("Wysyłanie zostało przerwane.\n") + QueuedInformation());
}

// Counts a running send, so that saving as you go waits for its end.
class BusyGuard
{
public:
    explicit BusyGuard(int& busy) : m_busy(busy) { ++m_busy; }
    ~BusyGuard() { --m_busy; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    int& m_busy;
};

} // namespace

void CBrivantelDoc::NoteFailure(CMessage* queued, const std::string& number, const std::string& reason)
{
    if (reason.empty())
        return; // not tried: the program is ending
    if (queued)
        queued->SetFailureReason(reason);
    m_ui.ShowFailureReason(number, reason);
}

void CBrivantelDoc::SaveConfirmed()
{
    // A crash in the next exchange must not bring a confirmed message back to the outbox: it is on
    // disk before that exchange begins. The write runs on the worker; the window keeps painting.
    if (m_readOnly || !SaveInBackground())
        return;
    while (!CollectBackgroundSave()) {
        m_ui.WaitHook();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void CBrivantelDoc::SendWaitHook()
{
    m_ui.WaitHook();
}

void CBrivantelDoc::NoteSendRoute(const std::string& text)
{
    m_ui.ShowSendRoute(text);
}

std::optional<std::string> CBrivantelDoc::AskPin(const std::string& prompt)
{
    // Once in a run: a SIM locks after three wrong PINs, so the program never asks on its own
    // again; after a wrong one the next send may ask, as the user then tried again.
    if (m_pinAsked)
        return std::nullopt;
    m_pinAsked = true;
    return m_ui.AskPassword(prompt);
}

bool CBrivantelDoc::SendToRecipients(const std::string& recipients, const std::string& numbers,
                                     const std::string& text, int route, SendCount* count)
{
    SendCount ignored;
    SendCount& tally = count ? *count : ignored;
    const std::vector<std::string> pieces = Numbers(numbers);
    if (pieces.empty()) {
        // Nobody to send to: a queued message without a number could never leave.
        m_ui.ShowSendFailed(text, recipients, std::string());
        return false;
    }
    BusyGuard busy(m_busy);
    if (route == ROUTE_CONFIGURED)
        route = m_settings.GetRoute();
    m_ui.SetWaitCursor(true);
    const int total = 1 + static_cast<int>(std::count(recipients.begin(), recipients.end(), ';'));
    m_ui.ProgressOpen(ProgressTitle());
    m_ui.ProgressAddStopButton(Polish("Przerwij"));
    m_ui.ProgressSetRange(total);
    m_ui.ProgressSetPos(0);
    // Every message waits in the outbox, on disk, before its first byte leaves; a confirmed one
    // moves to the sent folder. Whenever the program ends, each is in exactly one of the two.
    std::vector<std::string> names;
    std::vector<CMessage*> queued;
    for (const std::string& number : pieces) {
        // A number with no entry is filed under itself, so that the outbox can still send it.
        std::string recipient = m_addressBook.NameForNumber(number);
        if (recipient.empty())
            recipient = number;
        queued.push_back(File(m_outbox, recipient, text));
        names.push_back(std::move(recipient));
    }
    NotifyChanged(DocChange::Outbox);
    WriteAhead();
    std::vector<std::string> unsent;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const int index = static_cast<int>(i) + 1;
        const bool last = i + 1 == pieces.size();
        m_ui.ProgressSetText(ProgressLine(index, total));
        const SendOutcome outcome =
            net_stop::Requested() ? SendOutcome{} : m_sender.Send(pieces[i], text, route);
        if (outcome) {
            if (queued[i])
                m_outbox.RemoveMessage(queued[i]); // destroyed here
            RecordDelivery(File(m_sent, names[i], text), pieces[i], outcome);
            ++tally.sent;
            NotifyChanged(DocChange::Sent);
            Announce(DocChange::Outbox);
            if (!last)
                SaveConfirmed();
        } else {
            ++tally.failed;
            unsent.push_back(names[i]);
            NoteFailure(queued[i], pieces[i], outcome.reason);
            // Earlier failures stay queued without a word; only the last number brings the dialog,
            // and none when the program is ending.
            if (last && !net_stop::Requested())
                m_ui.ShowSendFailed(text, names[i], WithWarning(outcome.warning, QueuedInformation()));
        }
        m_ui.ProgressSetPos(index);
    }
    m_ui.ProgressClose();
    m_ui.SetWaitCursor(false);
    ReportUserStop(m_ui, text, ::recipients::Join(unsent));
    return true;
}

bool CBrivantelDoc::SendOutboxMessage(CMessage& message, SendCount& tally)
{
    BusyGuard busy(m_busy);
    // A message queued a moment ago may not be on disk yet.
    WriteAhead();
    const std::string recipients = message.GetRecipients();
    const std::string text = message.GetText();
    std::vector<std::string> names;
    if (m_addressBook.ExistsDisplayName(recipients))
        names.push_back(recipients);
    else
        names = Names(recipients);
    if (names.empty())
        names.emplace_back(); // nothing to send to: the send fails and the message stays
    std::vector<std::string> sent;
    std::vector<std::string> failed;
    // Each number's outcome with its references, kept for the copy filed below.
    struct Delivered
    {
        std::string name;
        std::string number;
        SendOutcome outcome;
    };
    std::vector<Delivered> delivered;
    // Each failed name's note (a long message the phone refused part-way), not only the last one's.
    std::string warnings;
    SendOutcome last;
    for (const auto& name : names) {
        std::string number = m_addressBook.NumberForName(name);
        if (number.empty() && IsFullNumber(name))
            number = name;
        last = net_stop::Requested() ? SendOutcome{} : m_sender.Send(number, text, ROUTE_CONFIGURED);
        (last ? sent : failed).push_back(name);
        if (last && !last.references.empty())
            delivered.push_back({name, number, last});
        if (!last) {
            NoteFailure(&message, number.empty() ? name : number, last.reason);
            if (!last.warning.empty() && warnings.find(last.warning) == std::string::npos)
                warnings = WithWarning(warnings, last.warning);
        }
    }
    tally.sent += static_cast<int>(sent.size());
    tally.failed += static_cast<int>(failed.size());
    if (failed.empty()) {
        const CMessage* filed = File(m_sent, recipients, text);
        for (const auto& d : delivered)
            RecordDelivery(filed, d.number, d.outcome);
        m_outbox.RemoveMessage(&message); // destroyed here
        NotifyChanged(DocChange::Sent);
        Announce(DocChange::Outbox);
        return true;
    }
    // Only the names that failed stay queued; each that went out is filed under its own name.
    for (const auto& name : sent) {
        const CMessage* filed = File(m_sent, name, text);
        for (const auto& d : delivered)
            if (d.name == name)
                RecordDelivery(filed, d.number, d.outcome);
    }
    if (!sent.empty()) {
        message.SetRecipients(::recipients::Join(failed));
        NotifyChanged(DocChange::Sent);
        Announce(DocChange::Outbox);
    }
    if (!net_stop::Requested())
        m_ui.ShowSendFailed(text, message.GetRecipients(), warnings);
    return false;
}

void CBrivantelDoc::SendOutbox(SendCount* count)
{
    SendCount ignored;
    SendCount& tally = count ? *count : ignored;
    BusyGuard busy(m_busy);
    // Every message queued when this began is tried once, whatever happens to the others.
    std::vector<CMessage*> queued;
    for (const auto& message : m_outbox.GetMessages())
        queued.push_back(message.get());
    const int total = static_cast<int>(queued.size());
    m_ui.SetWaitCursor(true);
    m_ui.ProgressOpen(ProgressTitle());
    m_ui.ProgressAddStopButton(Polish("Przerwij"));
    m_ui.ProgressSetRange(total);
    m_ui.ProgressSetPos(0);
    int index = 1;
    CMessage* stopped = nullptr;
    for (CMessage* message : queued) {
        if (net_stop::Requested()) {
            // The program is ending, or the user stopped: the rest stay queued.
            if (!stopped && net_stop::RequestedByUser())
                stopped = message;
            break;
        }
        m_ui.ProgressSetText(ProgressLine(index++, total));
        const int sentBefore = tally.sent;
        if (!SendOutboxMessage(*message, tally) && net_stop::RequestedByUser())
            stopped = message;
        if (tally.sent > sentBefore && message != queued.back())
            SaveConfirmed();
    }
    m_ui.ProgressClose();
    m_ui.SetWaitCursor(false);
    if (stopped)
        ReportUserStop(m_ui, stopped->GetText(), stopped->GetRecipients());
    net_stop::ClearUserRequest();
}

void CBrivantelDoc::OfferToSendOutbox()
{
    if (m_outbox.GetCount() == 0)
        return;
    if (m_ui.AskYesNo(Polish("W folderze \"Wysyłane wiadomości\" znajdują się niewysłane wiadomości.\n"
                             "Czy chesz je wysłać teraz?")))
        SendOutbox();
}
