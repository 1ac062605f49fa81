#pragma once

#include <memory>
#include <string>
#include <vector>

#include "SampleFile.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

// A document opened for writing from given bytes in a folder of its own.
struct DocumentOnDisk
{
    RecordingUserInterface ui;
    CMemorySettingsStore settings;
    TempDir dir;
    std::string path = dir.file("Brivantel.vs");

    std::unique_ptr<CBrivantelDoc> Open(const std::vector<std::uint8_t>& bytes)
    {
        WriteFileBytes(path, bytes);
        auto doc = std::make_unique<CBrivantelDoc>(ui, settings);
        if (!doc->Open(path, CBrivantelDoc::Access::ReadWrite))
            return nullptr;
        return doc;
    }
};
