#pragma once

#include <string_view>

// Names and addresses that arrive in the banner index come from the network and are checked
// before the program acts on them.
namespace banner_names {

// A file name that stays inside the data directory on every system the program runs on: not
// empty, at most 255 bytes, no "/", "\" or ":", no control characters, no leading dot (so neither
// "." nor ".." nor a hidden file), and no Windows device name (CON, PRN, AUX, NUL, COM1..9,
// LPT1..9, with or without an extension).
bool IsPlainFileName(std::string_view name);

// A banner picture's name: a plain file name ending in ".jpg" or ".jpeg" (any letter case) that
// is none of the program's own files in the data directory (the data file, its lock and kept
// copies, the banner index), so a picture can never be written over them.
bool IsPictureName(std::string_view name);

// Only http:// and https:// addresses may be handed to the browser; a file path, "file:" or a
// program name is refused.
bool IsWebAddress(std::string_view address);

} // namespace banner_names
