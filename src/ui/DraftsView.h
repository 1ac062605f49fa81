#pragma once

#include <string>

#include "ui/FolderView.h"

class CAddressBook;

// "Wiadomości robocze": drafts; edit copies one into the composing view and keeps it, send sends
// one to the address-book entries its recipients name.
class CDraftsView final : public CFolderView
{
    Q_OBJECT
public:
    CDraftsView(CBrivantelDoc& document, int kind, QWidget* parent = nullptr);

    bool OnCommand(CommandId command) override;
    std::optional<CCommandState> QueryCommand(CommandId command) const override;

    // The numbers of the ";"-separated names that are display names in the book, joined by ";";
    // names without an entry are skipped.
    static std::string NumbersForNames(const std::string& recipients, const CAddressBook& book);

private:
    void OnEdit();
    void OnSend();
};
