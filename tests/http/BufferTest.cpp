// GetBuffer: the caller's block, the capacity limit and the consumed fields.
#include <cstring>

#include "HttpTestSupport.h"

using oru::shared::error::RKERR_PERFORM;
using rktest::ClientFor;
using rktest::PatternBytes;

namespace {

class BufferTest : public rktest::HttpServerTest {};

TEST_F(BufferTest, ABodyOfExactlyTheCapacityArrives) {
    TestHttp client = ClientFor(L"/bytes/100");
    client.AddMultiPartField(L"k", L"v");
    client.m_response = "before";
    std::vector<unsigned char> block(100, 'X');
    std::uint64_t received = 0;
    ASSERT_EQ(client.GetBuffer(100, block.data(), received), 0);
    EXPECT_EQ(received, 100u);
    EXPECT_EQ(std::string(block.begin(), block.end()), PatternBytes(100));
    EXPECT_EQ(client.m_response, "before");
    EXPECT_TRUE(client.m_multiPartFields.empty());
    EXPECT_EQ(client.m_writeCallback, nullptr);
    EXPECT_EQ(rktest::Recorded().at(0).parts.size(), 2u);

    client.SetHREF(L"/page");  // the write callback is gone: back to the response text
    ASSERT_EQ(client.GetFile(nullptr), 0);
    EXPECT_EQ(client.m_response, "beforepage body");
}

TEST_F(BufferTest, OneByteOverFailsAndTouchesNothingOfTheCallers) {
    TestHttp client = ClientFor(L"/bytes/101");
    client.AddMultiPartField(L"k", L"v");
    std::vector<unsigned char> block(100, 'X');
    std::uint64_t received = 777;
    EXPECT_EQ(client.GetBuffer(100, block.data(), received), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_WRITE_ERROR);
    EXPECT_EQ(received, 777u);
    EXPECT_EQ(std::string(block.begin(), block.end()), std::string(100, 'X'));
    EXPECT_TRUE(client.m_multiPartFields.empty());
    EXPECT_EQ(client.m_writeCallback, nullptr);
}

TEST_F(BufferTest, ZeroCapacityTakesOnlyAnEmptyBody) {
    unsigned char block[1] = {'X'};
    std::uint64_t received = 9;
    TestHttp empty = ClientFor(L"/bytes/0");
    ASSERT_EQ(empty.GetBuffer(0, block, received), 0);
    EXPECT_EQ(received, 0u);

    TestHttp page = ClientFor(L"/page");
    EXPECT_EQ(page.GetBuffer(0, block, received), RKERR_PERFORM);
    EXPECT_EQ(page.m_error.whatEx(), CURLE_WRITE_ERROR);
    EXPECT_EQ(block[0], 'X');
}

TEST_F(BufferTest, ANullBlockReceivesNothing) {
    TestHttp client = ClientFor(L"/page");
    std::uint64_t received = 9;
    ASSERT_EQ(client.GetBuffer(64, nullptr, received), 0);
    EXPECT_EQ(received, 0u);
}

TEST_F(BufferTest, HttpErrorAndTlsAndTheHostSizeType) {
    std::vector<unsigned char> block(1 << 20);
    unsigned long long received = 1;
    TestHttp missing = ClientFor(L"/status/404");
    missing.AddMultiPartField(L"k", L"v");
    EXPECT_EQ(missing.GetBuffer(block.size(), block.data(), received), RKERR_PERFORM);
    EXPECT_EQ(missing.m_error.whatEx(), CURLE_HTTP_RETURNED_ERROR);
    EXPECT_EQ(received, 1u);
    EXPECT_TRUE(missing.m_multiPartFields.empty());

    TestHttp secure = ClientFor(L"/bytes/1048576", true);
    ASSERT_EQ(secure.GetBuffer(block.size(), block.data(), received), 0);
    EXPECT_EQ(received, block.size());
    EXPECT_EQ(std::memcmp(block.data(), PatternBytes(block.size()).data(), block.size()), 0);
}

}  // namespace

namespace {

TEST_F(BufferTest, ALargeBlockHoldsExactlyItsCapacity) {
    const std::size_t size = std::size_t(4) << 20;
    std::vector<unsigned char> block(size, 'X');
    std::uint64_t received = 0;
    TestHttp client = ClientFor(L"/bytes/4194304");
    EXPECT_EQ(client.GetBuffer(size - 1, block.data(), received), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_WRITE_ERROR);
    EXPECT_EQ(block[0], 'X');
    ASSERT_EQ(client.GetBuffer(size, block.data(), received), 0);
    EXPECT_EQ(received, size);
    EXPECT_EQ(std::memcmp(block.data(), PatternBytes(size).data(), size), 0);
}

}  // namespace
