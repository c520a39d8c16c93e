// GetFile and GetBulkFile: the body goes to a local file, the caller's write function, or the
// response text.
#include "connection/ConnectionAccess.h"
#include "connection/CurlOption.h"
#include "http/HttpOperation.h"

using oru::shared::error::RKERR_FILE_OPEN;
using oru::shared::error::RKERR_SET_OPTION;

namespace {

using rkcurl::SetOption;
using rkcurl::http::HttpShape;

const HttpShape kGetFile = HttpShape("CRHTTP::GetFile").SendsForm().MayGetPlain();
const HttpShape kGetBulkFile = HttpShape("CRHTTP::GetBulkFile").SendsForm().MayGetPlain();

class FileDownload : public rkcurl::http::HttpOperation {
public:
    // Replaces the file at path; with size, appends to it and counts into size.
    FileDownload(CRHTTP& client, const wchar_t* path, std::uint64_t* size)
        : HttpOperation(client, size == nullptr ? kGetFile : kGetBulkFile),
          m_path(path),
          m_size(size),
          m_record{nullptr, size == nullptr ? 0 : *size} {}

protected:
    int SetRequestOptions() override {
        CRHTTP::WriteCallback& callback = rkcurl::ConnectionAccess::WriteCallback(Client());
        if (m_path == nullptr) {
            if (callback == nullptr) return 0;  // the writer of Prepare fills the response text
            if (SetOption(Client(), CURLOPT_WRITEFUNCTION, callback) &&
                SetOption(Client(), CURLOPT_WRITEDATA, static_cast<void*>(nullptr))) {
                return 0;
            }
            return Fail(RKERR_SET_OPTION, LastCurlCode());  // the caller's callback stays
        }

        const bool append = m_size != nullptr;
        callback = append ? &CRHTTP::WriteBulkFileCallbackFunc : &CRHTTP::WriteFileCallbackFunc;
        if (!m_stream.Open(m_path, append ? L"ab" : L"wb")) {
            callback = nullptr;
            return Fail(RKERR_FILE_OPEN, 0);
        }
        m_record.file = m_stream.Get();
        void* const userData =
            append ? static_cast<void*>(&m_record) : static_cast<void*>(m_stream.Get());
        if (SetOption(Client(), CURLOPT_WRITEFUNCTION, callback) &&
            SetOption(Client(), CURLOPT_WRITEDATA, userData)) {
            return 0;
        }
        callback = nullptr;
        return Fail(RKERR_SET_OPTION, LastCurlCode());
    }

    int AfterTransfer(int result) override {
        rkcurl::ConnectionAccess::WriteCallback(Client()) =
            nullptr;  // a stored callback serves one transfer
        if (m_stream.Get() == nullptr) return result;
        if (m_size != nullptr) *m_size = m_record.bytesWritten;  // also after a failure
        // The last bytes reach the file only at the flush of the close: a file that cannot take
        // them is a failed write, as a failed write during the transfer is.
        const bool closed = m_stream.Close();
        return result == CURLE_OK && !closed ? CURLE_WRITE_ERROR : result;
    }

    void ReleaseParts() override { m_stream.Close(); }

private:
    const wchar_t* m_path;
    std::uint64_t* m_size;
    CRHTTP::WriteBulkFileData m_record;
    rkcurl::FileStream m_stream;
};

}  // namespace

int CRHTTP::GetFile(const wchar_t* path) {
    return FileDownload(*this, path, nullptr).Run();
}

int CRHTTP::GetBulkFile(const wchar_t* path, std::uint64_t& size) {
    return FileDownload(*this, path, &size).Run();
}
