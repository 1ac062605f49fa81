#pragma once

#include <string>

#include "ui/FolderView.h"

class CAddressBook;

// "Wiadomości robocze": drafts; edit copies one into the composing view and keeps it, send sends
// one to the address-book entries its recipients name.
class CDraftsView final : public COutgoingFolderView
{
    Q_OBJECT
public:
    CDraftsView(CBrivantelDoc& document, int kind, QWidget* parent = nullptr);

    // The numbers of the ";"-separated names that are display names in the book, joined by ";";
    // names without an entry are skipped.
    static std::string NumbersForNames(const std::string& recipients, const CAddressBook& book);

private:
    void OnEdit() override;
    void OnSend() override;
};
