// Every filed copy's delivery state read in one go, as the sent folder reads it, against the
// states read one copy at a time.

#include <gtest/gtest.h>

#include "messagedb/MessageDb.h"
#include "support/TempDir.h"

namespace {

constexpr std::int64_t kSent = 1796760330; // 2026-12-08 20:05:30 UTC

struct Copy
{
    std::string name;
    std::string text;
    std::int64_t filed;
    std::vector<int> statuses; // one part each; -1: no report
    Delivery expected;
    std::int64_t at; // Delivered: the latest part's discharge time
};

} // namespace

TEST(DeliveryList, EachCopyGetsTheStateItsPartsGive)
{
    TempDir dir;
    CMessageDb db;
    ASSERT_TRUE(db.Open(dir.path()).ok);
    // Names and texts that share beginnings, and copies told apart only by their time, so that
    // the grouping by (name, text, time) shows.
    const std::vector<Copy> copies = {
        {"Jan", "a", kSent, {-1}, Delivery::Pending, 0},
        {"Jan", "a", kSent + 1, {0x00}, Delivery::Delivered, kSent + 100},
        {"Jan", "ab", kSent, {0x00, 0x00, 0x01}, Delivery::Delivered, kSent + 102},
        {"Jan", "ab", kSent + 5, {0x00, 0x20}, Delivery::Pending, 0},
        {"Jana", "a", kSent, {0x00, 0x45}, Delivery::Failed, 0},
        {"Jan;Ewa", "\xB3\xF3\x64\xBC", kSent, {0x7F}, Delivery::Failed, 0},
        {"", "", kSent, {0x1F}, Delivery::Delivered, kSent + 100},
    };
    int reference = 0;
    std::vector<StatusReport> reports;
    for (const Copy& c : copies) {
        SentCopy sent{c.name, "+48602111222", c.text, c.filed, c.filed, {}};
        for (std::size_t part = 0; part < c.statuses.size(); ++part)
            sent.references.push_back(++reference);
        ASSERT_TRUE(db.RecordSent(sent));
        for (std::size_t part = 0; part < c.statuses.size(); ++part) {
            if (c.statuses[part] >= 0)
                reports.push_back({"602111222", sent.references[part], c.statuses[part],
                                   kSent + 100 + static_cast<std::int64_t>(part), c.filed + 200});
        }
    }
    int matched = 0;
    ASSERT_TRUE(db.ApplyReports(reports, &matched));
    ASSERT_EQ(matched, static_cast<int>(reports.size()));

    const std::vector<FiledDelivery> all = db.AllDeliveries();
    ASSERT_EQ(all.size(), copies.size());
    for (const Copy& c : copies) {
        SCOPED_TRACE(c.name + "/" + c.text + "/" + std::to_string(c.filed - kSent));
        int found = 0;
        for (const FiledDelivery& d : all) {
            if (d.name != c.name || d.text != c.text || d.filed != c.filed)
                continue;
            ++found;
            EXPECT_EQ(d.state.state, c.expected);
            EXPECT_EQ(d.state.at, c.at);
            const DeliveryState one = db.DeliveryOf(c.name, c.text, c.filed);
            EXPECT_EQ(one.state, d.state.state);
            EXPECT_EQ(one.at, d.state.at);
        }
        EXPECT_EQ(found, 1);
    }
}

TEST(DeliveryList, NothingRecordedGivesNothing)
{
    TempDir dir;
    CMessageDb db;
    EXPECT_TRUE(db.AllDeliveries().empty()); // not open
    ASSERT_TRUE(db.Open(dir.path()).ok);
    EXPECT_TRUE(db.AllDeliveries().empty());
}
