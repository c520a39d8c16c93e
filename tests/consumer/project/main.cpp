// Uses one thing from every public header and the logging sink, and derives a host's own
// clients from the public classes; exits 0 when all behave.
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
    HostHttp hostHttp;
    hostHttp.SetServer(L"127.0.0.1:1");
    hostHttp.SetConnectTimeout(2000);
    int records = 0;
    LOGGER::CRKLog::SetSink([&records](const LOGGER::LogRecord&) { ++records; });

    CRFTP ftp;
    ftp.SetServer(L"127.0.0.1:1");
    CRHTTP http;
    http.AddMultiPartField(L"name", L"value");
    SYSTEMTIME st{2024, 11, 0, 30, 0, 0, 0, 0};
    FILETIME ft{};
    const bool ok =
        host.Start() == 0 && host.Validate() == 0 && hostHttp.GetPage() == 2509 &&
        hostHttp.prepares == 1 &&
        oru::shared::error::CRKError(oru::shared::error::RKERR_PERFORM, 6).what() == 2509 &&
        oru::helper::WideStrToNarStr(L"caf\u00E9") == "caf\xC3\xA9" && ftp.Validate() == 0 &&
        http.Validate() == 0 && fnRKCurl() == 42 && SystemTimeToFileTime(&st, &ft) != 0;

    LOGGER::g_RKLog.WriteLog("consumer", LOGGER::SEV_INFO, "main", 1, nullptr);
    LOGGER::CRKLog::SetSink(nullptr);
    std::printf("consumer: %s (%d log record)\n", ok ? "ok" : "FAILED", records);
    return ok && records == 1 ? 0 : 1;
}
