// PostBuffer and PostFile: one file part, then "submit" and the fields; the fields are
// consumed by the transfer.
#include <RKLogging/RKLogging.h>

#include "RKCurl/TextConversion.h"
#include "connection/ConnectionAccess.h"
#include "connection/CurlOption.h"
#include "foundation/LogSites.h"
#include "foundation/WideText.h"
#include "http/HttpOperation.h"

using oru::shared::error::RKERR_ABORTED;
using oru::shared::error::RKERR_PERFORM;

namespace {

using rkcurl::SetOption;
using rkcurl::http::HttpShape;
using rkcurl::http::TlsStep;

const HttpShape kPostBuffer = HttpShape("CRHTTP::PostBuffer")
                                  .Tls(TlsStep::ThroughPrepareSecurity)
                                  .SendsForm()
                                  .FormRefusalFails()
                                  .ConsumesFields();
// Hosts filter their traces on this name, which predates the operation's current one.
const HttpShape kPostFile =
    HttpShape("CRHTTP::PostPage").SendsForm().FormRefusalFails().ConsumesFields();

const char kBufferPart[] = "file_buffer";  // the part's name and the file name it announces
const wchar_t kDefaultFileField[] = L"FileField";

class BufferUpload : public rkcurl::http::HttpOperation {
public:
    BufferUpload(CRHTTP& client, const unsigned char* data, int length)
        : HttpOperation(client, kPostBuffer), m_data(data), m_length(length) {}

protected:
    void AddLeadingParts() override {
        Form().AddBuffer(kBufferPart, kBufferPart, m_data, m_length);
    }

    // A stop asked for by the progress callback has a code of its own here.
    int ReportTransferFailure(int result) override {
        LOGGER::g_RKLog.WriteLog("Curl", LOGGER::SEV_WARNING, rkcurl::kLogFileHttp,
                                 rkcurl::kLogLineHttpTransfer, nullptr);
        LOGGER::g_RKLog.Log(L"Curl Error: %d", result);
        return Fail(result == CURLE_ABORTED_BY_CALLBACK ? RKERR_ABORTED : RKERR_PERFORM, result);
    }

private:
    const unsigned char* m_data;
    int m_length;
};

class FileUpload : public rkcurl::http::HttpOperation {
public:
    FileUpload(CRHTTP& client, const wchar_t* path, const wchar_t* fieldName)
        : HttpOperation(client, kPostFile),
          m_path(rkcurl::OrEmpty(path)),
          m_fieldName(fieldName != nullptr && *fieldName != L'\0' ? fieldName : kDefaultFileField) {
    }

protected:
    void AddLeadingParts() override {
        Form().AddFile(oru::helper::WideStrToNarStr(m_fieldName),
                       oru::helper::WideStrToNarStr(m_path));
    }

    int SetRequestOptions() override {
        SetPageHeaders();
        return 0;
    }

private:
    std::wstring m_path;
    std::wstring m_fieldName;
};

}  // namespace

int CRHTTP::PostBuffer(const unsigned char* data, int length) {
    return BufferUpload(*this, data, length).Run();
}

int CRHTTP::PostFile(const wchar_t* path, const wchar_t* fieldName) {
    return FileUpload(*this, path, fieldName).Run();
}
