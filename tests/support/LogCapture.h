// Collects the logger's records for the lifetime of the object.
#pragma once

#include <RKLogging/RKLogging.h>

#include <mutex>
#include <string>
#include <vector>

namespace rktest {

class LogCapture {
public:
    LogCapture() {
        LOGGER::CRKLog::SetSink([this](const LOGGER::LogRecord& r) {
            static const char* const kPrefix[] = {">", "<", "W|", "M|"};  // by LogKind
            std::string text = kPrefix[static_cast<int>(r.kind)] + r.text;
            if (r.kind == LOGGER::LogKind::Write) {
                text +=
                    "|" + std::to_string(r.severity) + "|" + r.file + "|" + std::to_string(r.line);
            }
            const bool trace = r.kind == LOGGER::LogKind::Enter || r.kind == LOGGER::LogKind::Exit;
            std::lock_guard<std::mutex> lock(m_mutex);
            (trace ? m_traces : m_failures).push_back(text);
        });
    }
    ~LogCapture() { LOGGER::CRKLog::SetSink(nullptr); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // The WriteLog and Log records, as "W|text|severity|file|line" and "M|text".
    std::vector<std::string> Failures() const { return Copy(m_failures); }
    // Enter and exit records as ">name" and "<name".
    std::vector<std::string> Traces() const { return Copy(m_traces); }

    void Clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_failures.clear();
        m_traces.clear();
    }

private:
    std::vector<std::string> Copy(const std::vector<std::string>& records) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return records;
    }

    mutable std::mutex m_mutex;
    std::vector<std::string> m_failures, m_traces;
};

}  // namespace rktest
