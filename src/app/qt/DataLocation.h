#pragma once

#include <QString>

// Where Brivantel.vs lives: the executable's directory, or the per-user data location when that
// directory cannot be written or is the system's program directory the package installs into.
namespace data_location {

inline constexpr const char* kDataFileName = "Brivantel.vs";

QString DefaultDirectory();
// The data file's path in dir (created when missing); an empty text when dir cannot be made.
QString DataFilePath(const QString& dir);

} // namespace data_location
