#pragma once

#include <cstddef>

class CBrivantelDoc;

// Fills a document with a large, plausible book and sent folder for the benchmarks.
void FillLargeDocument(CBrivantelDoc& doc, std::size_t entries, std::size_t sentMessages);
