// GetBuffer: the body is collected in a receive block of the caller's capacity and copied out
// only when the whole transfer succeeded.
#include <cstring>

#include "connection/ConnectionAccess.h"
#include "connection/CurlOption.h"
#include "http/HttpOperation.h"

using oru::shared::error::RKERR_SET_OPTION;

namespace {

using rkcurl::SetOption;

const rkcurl::http::HttpShape kGetBuffer =
    rkcurl::http::HttpShape("CRHTTP::GetBuffer").SendsForm().ConsumesFields().MayGetPlain();

class BufferDownload : public rkcurl::http::HttpOperation {
public:
    BufferDownload(CRHTTP& client, std::uint64_t capacity, unsigned char* buffer,
                   std::uint64_t& received)
        : HttpOperation(client, kGetBuffer),
          m_capacity(capacity),
          m_buffer(buffer),
          m_received(received),
          m_record{capacity, nullptr, nullptr, 0} {}

protected:
    // The one allocation of the call; the block never grows.
    void Reserve() override {
        m_block.Allocate(m_capacity);
        m_record.start = m_record.cursor = m_block.Get();
    }

    int SetRequestOptions() override {
        CRHTTP::WriteCallback& callback = rkcurl::ConnectionAccess::WriteCallback(Client());
        callback = &CRHTTP::WriteBufferCallbackFunc;
        if (SetOption(Client(), CURLOPT_WRITEFUNCTION, callback) &&
            SetOption(Client(), CURLOPT_WRITEDATA, static_cast<void*>(&m_record))) {
            return 0;
        }
        callback = nullptr;
        return Fail(RKERR_SET_OPTION, LastCurlCode());
    }

    int AfterTransfer(int result) override {
        rkcurl::ConnectionAccess::WriteCallback(Client()) = nullptr;
        return result;
    }

    void Deliver() override {
        if (m_buffer == nullptr) {
            m_received = 0;
            return;
        }
        if (m_record.length != 0) {
            std::memcpy(m_buffer, m_record.start, static_cast<size_t>(m_record.length));
        }
        m_received = m_record.length;
    }

    void ReleaseParts() override { m_block.Release(); }

private:
    std::uint64_t m_capacity;
    unsigned char* m_buffer;
    std::uint64_t& m_received;
    CRHTTP::WriteBufferData m_record;
    rkcurl::ReceiveBlock m_block;
};

}  // namespace

int CRHTTP::GetBuffer(std::uint64_t size, unsigned char* buffer, std::uint64_t& received) {
    return BufferDownload(*this, size, buffer, received).Run();
}
