#include "app/Document.h"

#include "messagedb/MessageDb.h"

#include <ctime>

std::string CBrivantelDoc::GetMessageDbFolder() const
{
    if (!m_messageDbFolder.empty())
        return m_messageDbFolder;
    const auto slash = m_path.find_last_of('/');
    if (slash == std::string::npos)
        return m_path.empty() ? std::string() : std::string(".");
    return slash == 0 ? std::string("/") : m_path.substr(0, slash);
}

void CBrivantelDoc::RecordDelivery(const CMessage* filed, const std::string& number,
                                   const SendOutcome& outcome)
{
    if (!filed || outcome.references.empty())
        return;
    const std::string folder = GetMessageDbFolder();
    if (folder.empty())
        return;
    // The message is sent and filed whatever happens here; a database that cannot take the
    // references only means no "Doręczono" for it later, which is not worth a dialog mid-send.
    CMessageDb db;
    if (!db.Open(folder, std::chrono::seconds(2)).ok)
        return;
    SentCopy copy;
    copy.name = filed->GetRecipients();
    copy.number = number;
    copy.text = filed->GetText();
    copy.filed = static_cast<std::int64_t>(filed->GetTime());
    copy.sentUtc = static_cast<std::int64_t>(std::time(nullptr));
    copy.references = outcome.references;
    (void)db.RecordSent(copy);
}
