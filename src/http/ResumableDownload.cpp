// CRHTTP::GetFileTo: a plain GET streamed into a local file, whole (through a new file beside
// the target, moved over it once complete) or continuing a partial file with a range request.
#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "connection/ConnectionAccess.h"
#include "connection/CurlOption.h"
#include "foundation/WideText.h"
#include "http/HttpOperation.h"
#include "platform/LocalFiles.h"

using oru::shared::error::RKERR_FILE_OPEN;
using oru::shared::error::RKERR_SET_OPTION;

namespace {

using rkcurl::SetOption;

// No form: a range request only makes sense for a GET, and the GET is the same whole or resumed.
const rkcurl::http::HttpShape kGetFileTo("CRHTTP::GetFileTo");

constexpr long kRangeNotSatisfiable = 416;

// Straight to the file; a short write makes libcurl stop with its write error.
size_t WriteToFile(char* data, size_t size, size_t count, void* stream) {
    return std::fwrite(data, 1, size * count, static_cast<std::FILE*>(stream));
}

// The complete length that the last "Content-Range: bytes */<length>" line of the header text
// names (a redirect's lines come first); -1 when there is none or it names no length.
curl_off_t CompleteLength(const std::string& headers) {
    static const std::string kName = "content-range:";
    const auto named = [](const std::string& line) {
        return line.size() >= kName.size() &&
               std::equal(kName.begin(), kName.end(), line.begin(), [](char a, char b) {
                   return a == std::tolower(static_cast<unsigned char>(b));
               });
    };
    curl_off_t length = -1;
    std::size_t start = 0;
    while (start < headers.size()) {
        const std::size_t end = std::min(headers.find('\n', start), headers.size());
        const std::string line = headers.substr(start, end - start);
        start = end + 1;
        if (!named(line)) continue;
        const std::size_t slash = line.find('/');
        const char* const digits = slash == std::string::npos ? "" : line.c_str() + slash + 1;
        char* stop = nullptr;
        // Saturates instead of overflowing on a hostile length.
        const long long value = std::strtoll(digits, &stop, 10);
        length = stop != digits && value >= 0 ? static_cast<curl_off_t>(value) : -1;
    }
    return length;
}

class ResumableDownload : public rkcurl::http::HttpOperation {
public:
    ResumableDownload(CRHTTP& client, const wchar_t* localPath, bool resume)
        : HttpOperation(client, kGetFileTo),
          m_target(rkcurl::OrEmpty(localPath)),
          m_resume(resume) {}

protected:
    int SetRequestOptions() override {
        // A directory would only be refused at the final move, after the whole transfer.
        if (m_target.empty() || rkplatform::IsDirectory(m_target)) {
            return Fail(RKERR_FILE_OPEN, 0);
        }
        std::FILE* file = nullptr;
        if (m_resume) {
            m_offset = m_appended.Open(m_target.c_str(), L"ab") ? m_appended.Size() : -1;
            if (m_offset < 0) return Fail(RKERR_FILE_OPEN, 0);
            file = m_appended.Get();
        } else {
            m_pending.emplace(m_target);
            if (!*m_pending) return Fail(RKERR_FILE_OPEN, 0);
            file = m_pending->Get();
        }
        m_headersBefore = rkcurl::ConnectionAccess::Header(Client()).size();
        const curl_write_callback writer = &WriteToFile;
        // With an offset libcurl asks for "Range: bytes=<offset>-" and takes only a 206 whose
        // range starts there: a server that answers 200 with the whole body fails the transfer
        // (libcurl's 33) before any byte reaches the file.
        if (!SetOption(Client(), CURLOPT_WRITEFUNCTION, writer) ||
            !SetOption(Client(), CURLOPT_WRITEDATA, static_cast<void*>(file)) ||
            (m_offset > 0 && !SetOption(Client(), CURLOPT_RESUME_FROM_LARGE, m_offset))) {
            return Fail(RKERR_SET_OPTION, LastCurlCode());
        }
        return 0;
    }

    // Writing the last bytes, or moving the file into place, counts as the transfer. A failed
    // transfer leaves a resumed file as it is, ready for the next resume; a new one goes.
    int AfterTransfer(int result) override {
        if (result == CURLE_HTTP_RETURNED_ERROR && m_offset > 0 &&
            Client().GetLastResponseCode() == kRangeNotSatisfiable) {
            result = NothingLeftToFetch();
        }
        if (result != CURLE_OK) return result;
        const bool written = m_resume ? std::fflush(m_appended.Get()) == 0 : m_pending->Commit();
        return written ? CURLE_OK : CURLE_WRITE_ERROR;
    }

    void ReleaseParts() override {
        m_appended.Close();
        m_pending.reset();
    }

private:
    // A 416 to the range from the local size: the local file is complete when the length the
    // server names ("Content-Range: bytes */<length>") is the local size, longer than the
    // remote one (libcurl's 36, as for FTP) when it names another; without a length the 416
    // stays a failure.
    int NothingLeftToFetch() const {
        const std::string& headers = rkcurl::ConnectionAccess::Header(Client());
        const curl_off_t length =
            CompleteLength(headers.substr(std::min(m_headersBefore, headers.size())));
        if (length < 0) return CURLE_HTTP_RETURNED_ERROR;
        return length == m_offset ? CURLE_OK : CURLE_BAD_DOWNLOAD_RESUME;
    }

    const std::wstring m_target;
    const bool m_resume;
    curl_off_t m_offset = 0;
    std::size_t m_headersBefore = 0;
    rkcurl::FileStream m_appended;
    std::optional<rkcurl::PendingFile> m_pending;
};

}  // namespace

int CRHTTP::GetFileTo(const wchar_t* localPath, int resume) {
    return ResumableDownload(*this, localPath, resume != 0).Run();
}
