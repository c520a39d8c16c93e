// GetBuffer: the caller's block and its capacity limit.
#include "CurlInterposer.h"
#include "HttpTestSupport.h"

namespace rktest {
namespace {

class BufferTest : public HttpServerTest {};

TEST_F(BufferTest, ABodyOfUpToTheCapacityArrivesAndOneByteMoreTouchesNothing) {
    for (const std::size_t size : {std::size_t(0), std::size_t(100), std::size_t(4) << 20}) {
        for (const std::size_t over : {0, 1}) {
            SCOPED_TRACE(std::to_string(size) + (over != 0 ? " + 1" : ""));
            TestHttp client = ClientFor(L"/bytes/" + std::to_wstring(size + over));
            client.m_response = "before";
            std::string block(size + 1, 'X');
            unsigned long long received = 777;  // the host size type; the overload forwards
            const int result =
                client.GetBuffer(size, reinterpret_cast<unsigned char*>(&block[0]), received);
            const bool fits = over == 0;  // else nothing is touched
            EXPECT_EQ(client.m_response, "before");
            EXPECT_EQ(result, fits ? 0 : RKERR_PERFORM);
            EXPECT_EQ(client.m_error.whatEx(), fits ? 0 : CURLE_WRITE_ERROR);
            EXPECT_EQ(received, fits ? size : 777u);
            EXPECT_TRUE(block == (fits ? PatternBytes(size) : std::string(size, 'X')) + "X");
        }
    }
    std::uint64_t received = 9;
    TestHttp client = ClientFor(L"/page");
    ASSERT_EQ(client.GetBuffer(64, nullptr, received), 0);  // a null block receives nothing
    EXPECT_EQ(received, 0u);
}

TEST_F(BufferTest, AnUnobtainableReceiveBlockThrowsAfterReleasingTheHandle) {
    TestHttp client = ClientFor(L"/page");
    client.AddMultiPartField(L"k", L"v");
    std::uint64_t received = 5;
    unsigned char block[1];
    EXPECT_THROW(client.GetBuffer(std::uint64_t(1) << 62, block, received), std::bad_alloc);
    EXPECT_EQ(CurlInterposer::EasyCleanupCalls(), 1);
    EXPECT_EQ(CurlInterposer::PerformCalls(), 0);
    EXPECT_EQ(received, 5u);
    EXPECT_EQ(client.m_multiPartFields.size(), 1u);
}

}  // namespace
}  // namespace rktest
