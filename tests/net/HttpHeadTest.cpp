// The one reader of HTTP reply heads: where a head ends, interim replies, the size cap.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "net/HttpHead.h"

namespace {

TEST(HttpResponse, HeadReaderEndsAtTheEmptyLineSkipsAFewInterimRepliesAndCapsTheHead)
{
    const std::string interim = "HTTP/1.1 100 Continue\r\n\r\n";
    const struct
    {
        std::string raw;
        CHttpHeadReader::State state;
        int status;
        std::string rest;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nA: b\r\n\r\nbody", CHttpHeadReader::State::Complete, 200, "body"},
        {"HTTP/1.0 200 OK\nA: b\n\nbody", CHttpHeadReader::State::Complete, 200, "body"},
        {"HTTP/1.0 200 OK\r\nA: b\n\r\nbody", CHttpHeadReader::State::Complete, 200, "body"},
        {"HTTP/1.0 200 OK\r\nA: b\r\n", CHttpHeadReader::State::NeedMore, 0, ""},
        {interim + interim + interim + interim + "HTTP/1.1 201 Created\n\nx",
         CHttpHeadReader::State::Complete, 201, "x"},
        {interim + interim + interim + interim + interim + "HTTP/1.1 200 OK\n\nx",
         CHttpHeadReader::State::Failed, 0, ""},
        {"HTTP/1.1 200 OK\r\nX: " + std::string(CHttpHeadReader::kMaxHead, 'a'),
         CHttpHeadReader::State::Failed, 0, ""},
        {"SSH-2.0-OpenSSH\r\n\r\n", CHttpHeadReader::State::Failed, 0, ""},
    };
    for (const auto& c : cases) {
        // Whole, and a byte at a time: the end may be split anywhere.
        for (const bool bytewise : {false, true}) {
            CHttpHeadReader reader;
            CHttpHeadReader::State state = CHttpHeadReader::State::NeedMore;
            if (bytewise) {
                for (std::size_t i = 0; i < c.raw.size() && state == CHttpHeadReader::State::NeedMore; ++i)
                    state = reader.Feed(std::string_view(c.raw).substr(i, 1));
            } else {
                state = reader.Feed(c.raw);
            }
            EXPECT_EQ(state, c.state) << c.raw.substr(0, 60) << bytewise;
            if (state != CHttpHeadReader::State::Complete)
                continue;
            EXPECT_EQ(reader.Head().status, c.status);
            if (!bytewise) {
                EXPECT_EQ(reader.TakeRest(), c.rest);
            }
        }
    }
}

} // namespace
