#include "mailwatch/MailCheckerData.h"

#include "store/Archive.h"

void CMailCheckerData::Serialize(CArchive& ar)
{
    ar.Transfer(countryPrefix);
    ar.Transfer(noticeText);
    ar.Transfer(networkPrefix);
    ar.Transfer(number);
    ar.Transfer(password);
    ar.Transfer(interval);
    ar.Transfer(notify);
    ar.Transfer(server);
    ar.Transfer(user);
    ar.Transfer(enabled);
}
