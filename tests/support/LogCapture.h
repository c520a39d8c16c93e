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
        LOGGER::CRKLog::SetSink([this](const LOGGER::LogRecord& record) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_records.push_back(record);
        });
    }
    ~LogCapture() { LOGGER::CRKLog::SetSink(nullptr); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LOGGER::LogRecord> Records() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_records;
    }

    // Only the WriteLog and Log records, as "W|text|severity|file|line" and "M|text".
    std::vector<std::string> Failures() const {
        std::vector<std::string> out;
        for (const LOGGER::LogRecord& r : Records()) {
            if (r.kind == LOGGER::LogKind::Write) {
                out.push_back("W|" + r.text + "|" + std::to_string(r.severity) + "|" + r.file +
                              "|" + std::to_string(r.line));
            } else if (r.kind == LOGGER::LogKind::Message) {
                out.push_back("M|" + r.text);
            }
        }
        return out;
    }

    // Enter and exit records as ">name" and "<name".
    std::vector<std::string> Traces() const {
        std::vector<std::string> out;
        for (const LOGGER::LogRecord& r : Records()) {
            if (r.kind == LOGGER::LogKind::Enter) out.push_back(">" + r.text);
            if (r.kind == LOGGER::LogKind::Exit) out.push_back("<" + r.text);
        }
        return out;
    }

    void Clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_records.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<LOGGER::LogRecord> m_records;
};

}  // namespace rktest
