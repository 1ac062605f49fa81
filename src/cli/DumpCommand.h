#pragma once

#include <ostream>
#include <string>

class CBrivantelDoc;

// Every record of the data file, in file order, as UTF-8 JSON indented by two, written as it goes:
// one message at a time, never the whole tree (a folder may hold a million messages).
void WriteDump(CBrivantelDoc& doc, std::ostream& out);
// The same while doc reads the file at path once through (CBrivantelDoc::ReadThrough), so that
// neither the file nor its folders are ever held whole. False when the file was not read whole:
// what was written is then every record as far as it was read.
bool WriteDumpReading(CBrivantelDoc& doc, const std::string& path, std::ostream& out);
