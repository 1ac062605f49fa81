#pragma once

#include <string>
#include <string_view>

namespace online_files {

// Writes the whole content to a temporary file beside path (readable and writable by the user
// only), flushes it to disk and renames it over path, so a reader never sees half a file and a
// failure leaves what was there before. False when nothing was written.
bool WriteAtomically(const std::string& path, std::string_view content);

bool Exists(const std::string& path);

} // namespace online_files
