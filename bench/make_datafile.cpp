// Writes a large data file for the benchmarks: make_datafile DIR [ENTRIES] [SENT]
#include <cstdio>
#include <string>

#include "DataFileGenerator.h"
#include "QuietUserInterface.h"
#include "app/Document.h"
#include "app/SettingsStore.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_datafile DIR [ENTRIES] [SENT]\n");
        return 2;
    }
    const std::string path = std::string(argv[1]) + "/Brivantel.vs";
    const std::size_t entries = argc > 2 ? std::stoul(argv[2]) : 10000;
    const std::size_t sent = argc > 3 ? std::stoul(argv[3]) : 100000;
    QuietUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc(ui, settings);
    if (!doc.Open(path, CBrivantelDoc::Access::ReadWrite))
        return 1;
    FillLargeDocument(doc, entries, sent);
    return doc.SaveDataFile() ? 0 : 1;
}
