#include "store/ViewData.h"

#include "store/Archive.h"

void CAddressBookViewData::Serialize(CArchive& ar)
{
    ar.Transfer(viewMode);
    ar.Transfer(nameWidth);
    ar.Transfer(phoneWidth);
}

void CFolderViewData::Serialize(CArchive& ar)
{
    ar.Transfer(recipientsWidth);
    ar.Transfer(textWidth);
}

void CSentMessagesViewData::Serialize(CArchive& ar)
{
    CFolderViewData::Serialize(ar);
    ar.Transfer(dateWidth);
}
