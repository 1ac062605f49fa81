#include "store/DefinedMessages.h"

#include "store/Archive.h"

void CDefinedMessages::Serialize(CArchive& ar)
{
    SerializeStringArray(ar, m_texts);
}
