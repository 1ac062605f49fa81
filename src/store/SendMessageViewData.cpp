#include "store/SendMessageViewData.h"

#include "store/Archive.h"

void CSendMessageViewData::Serialize(CArchive& ar)
{
    ar.Transfer(recipients);
    ar.Transfer(text);
}
