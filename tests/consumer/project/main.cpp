// Uses one thing from every public header and the logging sink; exits 0 when all behave.
#include <RKCurl/RKCurl.h>
#include <RKLogging/RKLogging.h>

#include <cstdio>

int main() {
    int records = 0;
    LOGGER::CRKLog::SetSink([&records](const LOGGER::LogRecord&) { ++records; });

    oru::shared::error::CRKError error(oru::shared::error::RKERR_PERFORM, 6);
    const std::string utf8 = oru::helper::WideStrToNarStr(L"caf\u00E9");

    CRFTP ftp;
    ftp.SetServer(L"127.0.0.1:1");
    CRHTTP http;
    http.AddMultiPartField(L"name", L"value");

    SYSTEMTIME st{2024, 11, 0, 30, 0, 0, 0, 0};
    FILETIME ft{};
    const bool ok = error.what() == 2509 && utf8 == "caf\xC3\xA9" && ftp.Validate() == 0 &&
                    http.Validate() == 0 && fnRKCurl() == 42 && SystemTimeToFileTime(&st, &ft) != 0;

    LOGGER::g_RKLog.WriteLog("consumer", LOGGER::SEV_INFO, "main", 1, nullptr);
    LOGGER::CRKLog::SetSink(nullptr);
    std::printf("consumer: %s (%d log record)\n", ok ? "ok" : "FAILED", records);
    return ok && records == 1 ? 0 : 1;
}
