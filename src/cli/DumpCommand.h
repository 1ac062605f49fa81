#pragma once

#include <nlohmann/json.hpp>

class CBrivantelDoc;

// Every record of the data file, in file order, as UTF-8 JSON.
nlohmann::ordered_json DumpDocument(CBrivantelDoc& doc);
