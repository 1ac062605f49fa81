#pragma once

#include "support/Bytes.h"

// Data files written by hand from the file's rules, as the program at its most complete writes them.
namespace sample_file {

// A new document's file: every record with its defaults.
Bytes Empty();

// Two entries, settings with a proxy, composing state, two ready-made texts, a draft, a deleted
// message, a watched mailbox, two sent messages and one queued.
Bytes Full();

// Records 1 to 5 only, the settings with the older marker "1" (no proxy fields).
Bytes UpToPredefinedTexts();

// A file that names one large draft over and over: the drafts hold one message of textSize bytes,
// then `references` back references to it (two bytes each); every other record has its defaults.
Bytes BackReferenceBomb(std::size_t textSize = std::size_t{1} << 20, std::size_t references = 3000);

} // namespace sample_file
