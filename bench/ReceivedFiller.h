#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "messagedb/MessageDb.h"

// Fills the received messages' database in a folder as readings from a phone would, in batches of
// 5,000; make gives the i-th message (its source is set here, so each is stored once).
inline bool FillReceived(const std::string& folder, int count,
                         const std::function<IncomingMessage(int)>& make)
{
    CMessageDb db;
    if (!db.Open(folder).ok)
        return false;
    for (int from = 0; from < count; from += 5000) {
        std::vector<IncomingMessage> batch;
        for (int i = from; i < std::min(count, from + 5000); ++i) {
            IncomingMessage m = make(i);
            m.source = "bench:" + std::to_string(i);
            batch.push_back(std::move(m));
        }
        if (!db.Import(batch).ok)
            return false;
    }
    return true;
}
