#pragma once

#include <cstdint>

class CArchive;

// The state the views keep between one showing and the next: list mode and column widths.

class CAddressBookViewData
{
public:
    enum ViewMode : std::int32_t { LargeIcons = 0, Details = 1, SmallIcons = 2, List = 3 };

    std::int32_t viewMode = Details;
    std::int32_t nameWidth = 100;
    std::int32_t phoneWidth = 100;

    void Serialize(CArchive& ar);
};

// Recipients and text columns of a folder view.
class CFolderViewData
{
public:
    std::int32_t recipientsWidth = 100;
    std::int32_t textWidth = 100;

    virtual ~CFolderViewData() = default;
    virtual void Serialize(CArchive& ar);
};

class CDraftsViewData final : public CFolderViewData
{
};

class CDeletedMessagesViewData final : public CFolderViewData
{
};

class COutboxViewData final : public CFolderViewData
{
};

class CSentMessagesViewData final : public CFolderViewData
{
public:
    std::int32_t dateWidth = 100;

    void Serialize(CArchive& ar) override;
};
