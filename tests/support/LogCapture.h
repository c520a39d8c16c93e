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
            std::lock_guard<std::mutex> lock(m_mutex);
            m_records.push_back(text);
        });
    }
    ~LogCapture() { LOGGER::CRKLog::SetSink(nullptr); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Only the WriteLog and Log records, as "W|text|severity|file|line" and "M|text".
    std::vector<std::string> Failures() const { return Select("WM"); }
    // Enter and exit records as ">name" and "<name".
    std::vector<std::string> Traces() const { return Select("><"); }

    void Clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_records.clear();
    }

private:
    std::vector<std::string> Select(const char* kinds) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<std::string> out;
        for (const std::string& r : m_records) {
            if (r[0] == kinds[0] || r[0] == kinds[1]) out.push_back(r);
        }
        return out;
    }

    mutable std::mutex m_mutex;
    std::vector<std::string> m_records;
};

}  // namespace rktest
