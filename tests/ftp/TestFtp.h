// CRFTP with its protected members opened to the tests, and helpers shared by the FTP tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "FtpTestServers.h"
#include "LogCapture.h"
#include "RKCurl/RKCurl.h"

class TestFtp : public CRFTP {
public:
    using CRFTP::m_curl;
    using CRFTP::m_error;
    using CRFTP::m_findData;
    using CRFTP::m_findIndex;
    using CRFTP::m_header;
    using CRFTP::m_href;
    using CRFTP::m_lastCurlCode;
    using CRFTP::m_response;
    using CRFTP::Prepare;
    using CRFTP::ReadFunc;

    // A session on the server, standing in href. With RKCURL_TEST_REUSE set, the same tests
    // run with connection reuse on, to show that it changes none of the outcomes.
    explicit TestFtp(const rktest::FtpTestServer* server = nullptr, const wchar_t* href = L"") {
        if (server != nullptr) SetServer(server->HostPort().c_str());
        SetHREF(href);
        if (std::getenv("RKCURL_TEST_REUSE") != nullptr) SetReuseConnections(1);
    }

    std::string Response() const { return m_response; }

    // Every entry of the current listing, from the first on.
    std::vector<std::wstring> Names() {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW data;
        if (FindFirstFileW(data) != 0) return names;
        do names.push_back(data.cFileName);
        while (FindNextFileW(data) == 0);
        return names;
    }
};

// The records "M|Error Code : <code> -- " of a failure chain, in order.
inline std::vector<int> FailureCodes(const rktest::LogCapture& log) {
    std::vector<int> codes;
    const std::string prefix = "M|Error Code : ";
    for (const std::string& line : log.Failures()) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            codes.push_back(std::atoi(line.c_str() + prefix.size()));
        }
    }
    return codes;
}

// The extended codes of "M|Extended Error <n> : ..." records, in order.
inline std::vector<int> ExtendedCodes(const rktest::LogCapture& log) {
    std::vector<int> codes;
    const std::string prefix = "M|Extended Error ";
    for (const std::string& line : log.Failures()) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            codes.push_back(std::atoi(line.c_str() + prefix.size()));
        }
    }
    return codes;
}

// The received command lines that start with one of the prefixes.
inline std::vector<std::string> Only(const std::vector<std::string>& commands,
                                     const std::vector<std::string>& prefixes) {
    std::vector<std::string> kept;
    for (const std::string& c : commands) {
        for (const std::string& p : prefixes) {
            if (c.compare(0, p.size(), p) == 0) {
                kept.push_back(c);
                break;
            }
        }
    }
    return kept;
}
