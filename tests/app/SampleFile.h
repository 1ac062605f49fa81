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

} // namespace sample_file
