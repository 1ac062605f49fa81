#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "app/Document.h"
#include "app/SettingsStore.h"
#include "support/RecordingUserInterface.h"

namespace loader_check {

// What must hold for any bytes at all: loading returns (no crash, no exception, no memory error),
// and what was loaded, saved and loaded again saves to the same bytes, so a resave never drifts;
// the save that reuses what was read writes what a whole encode does. False when either differs.
inline bool LoadsAndResavesStably(const std::vector<std::uint8_t>& bytes)
{
    RecordingUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc first(ui, settings);
    first.Load(bytes);
    // Saving reuses the bytes of records read in the form it writes, folders still unread among
    // them: they must be exactly what reading everything and encoding it whole gives.
    const std::vector<std::uint8_t> byRecord = first.StoreByRecord();
    const std::vector<std::uint8_t> saved = first.Store();
    if (byRecord != saved)
        return false;
    // An address-book entry moves the numbering of every folder after the book: their kept bytes
    // get their class named anew, and must still be what a whole encode gives.
    CBrivantelDoc renumbered(ui, settings);
    renumbered.Load(bytes);
    auto entry = std::make_unique<CAddress>();
    renumbered.GetAddressBook().AddAddress(entry);
    if (renumbered.StoreByRecord() != renumbered.Store())
        return false;
    // A message taken out (picked as a view picks it) is cut from the kept bytes of its folder.
    CSentList& sent = renumbered.GetSent();
    if (sent.GetCount() > 0)
        sent.RemoveMessage(sent.At(sent.GetCount() / 2));
    CDeletedMessagesList& deleted = renumbered.GetDeletedMessages();
    if (deleted.GetCount() > 0)
        deleted.DeleteMessage(deleted.At(0));
    if (renumbered.StoreByRecord() != renumbered.Store())
        return false;
    CBrivantelDoc second(ui, settings);
    if (!second.Load(saved))
        return false;
    return second.Store() == saved;
}

} // namespace loader_check
