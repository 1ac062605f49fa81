#pragma once

#include <gtest/gtest.h>

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

// The same file opened twice: the document saves by record as the program does, its twin is only
// ever encoded whole. A change applied to both shows whether the saved file is exact.
struct TwinDocuments
{
    DocumentOnDisk kept;
    DocumentOnDisk whole;
    std::unique_ptr<CBrivantelDoc> doc;
    std::unique_ptr<CBrivantelDoc> twin;

    explicit TwinDocuments(const std::vector<std::uint8_t>& bytes)
        : doc(kept.Open(bytes)), twin(whole.Open(bytes))
    {
    }
    template <class Change> void Apply(const Change& change)
    {
        change(*doc);
        change(*twin);
    }
    // Saves the document: the file must be what the twin encodes whole.
    ::testing::AssertionResult SavedExactly()
    {
        if (!doc->SaveDataFile())
            return ::testing::AssertionFailure() << "not saved";
        if (ReadFileBytes(kept.path) != twin->Store())
            return ::testing::AssertionFailure() << "the file differs from a whole encode";
        return ::testing::AssertionSuccess();
    }
};
