#pragma once

#include <ostream>

class CBrivantelDoc;

// Every record of the data file, in file order, as UTF-8 JSON indented by two, written as it goes:
// one message at a time, never the whole tree (a folder may hold a million messages).
void WriteDump(CBrivantelDoc& doc, std::ostream& out);
