// A host's own clients on the public base and on CRHTTP, one call into each public header and
// the logging sink, built against RKCurl's installed files alone; exits 0 when all behave.
#include <RKCurl/RKCurl.h>
#include <RKLogging/RKLogging.h>

#include <cstdio>

class HostConnection : public CConnection {
public:
    int Validate() override { return m_error.what(); }
    int Start() { return Prepare(L"http://"); }
};

class HostHttp : public CRHTTP {
public:
    int Prepare(const std::wstring& prefix) override {
        ++prepares;
        return CRHTTP::Prepare(prefix);
    }
    int prepares = 0;
};

int main() {
    HostConnection host;
    host.SetServer(L"127.0.0.1:1");
    HostHttp http;
    http.SetServer(L"127.0.0.1:1");
    http.SetConnectTimeout(2000);
    CRFTP ftp;
    ftp.SetServer(L"127.0.0.1:1");
    SYSTEMTIME st{2024, 11, 0, 30, 0, 0, 0, 0};
    FILETIME ft{};
    const bool ok =
        host.Start() == 0 && host.Validate() == 0 && http.GetPage() == 2509 && http.prepares == 1 &&
        oru::shared::error::CRKError(oru::shared::error::RKERR_PERFORM, 6).what() == 2509 &&
        oru::helper::WideStrToNarStr(L"caf\u00E9") == "caf\xC3\xA9" && ftp.Validate() == 0 &&
        fnRKCurl() == 42 && SystemTimeToFileTime(&st, &ft) != 0;
    int records = 0;
    LOGGER::CRKLog::SetSink([&records](const LOGGER::LogRecord&) { ++records; });
    LOGGER::g_RKLog.WriteLog("consumer", LOGGER::SEV_INFO, "main", 1, nullptr);
    LOGGER::CRKLog::SetSink(nullptr);
    std::printf("consumer: %s (%d log record)\n", ok ? "ok" : "FAILED", records);
    return ok && records == 1 ? 0 : 1;
}
