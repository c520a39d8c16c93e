#include "LogSink.h"

namespace rktool {
namespace {

const char* SeverityName(int severity) {
    switch (severity) {
        case LOGGER::SEV_TRACE:
            return "TRACE";
        case LOGGER::SEV_INFO:
            return "INFO";
        case LOGGER::SEV_WARNING:
            return "WARNING";
        case LOGGER::SEV_ERROR:
            return "ERROR";
        case LOGGER::SEV_FATAL:
            return "FATAL";
        default:
            return "SEV?";
    }
}

const char* KindName(const LOGGER::LogRecord& record) {
    switch (record.kind) {
        case LOGGER::LogKind::Enter:
            return "ENTER";
        case LOGGER::LogKind::Exit:
            return "LEAVE";
        case LOGGER::LogKind::Message:
            return "MSG";
        case LOGGER::LogKind::Write:
            return SeverityName(record.severity);
    }
    return "?";
}

}  // namespace

std::string FormatLogRecord(const LOGGER::LogRecord& record) {
    std::string line = KindName(record);
    line += ' ';
    line += record.file.empty() ? "-" : record.file;
    line += ':' + std::to_string(record.line) + ' ';
    std::string text = record.text;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    for (char c : text) {
        if (c == '\n') {
            line += " | ";
        } else if (c != '\r') {
            line += c;
        }
    }
    return line;
}

LogSinkScope::LogSinkScope(const std::string& target)
    : m_file(target == "-" ? stderr : std::fopen(target.c_str(), "w")), m_owned(target != "-") {
    if (m_file == nullptr) return;
    std::FILE* file = m_file;
    LOGGER::CRKLog::SetSink([file](const LOGGER::LogRecord& record) {
        const std::string line = FormatLogRecord(record) + "\n";
        std::fputs(line.c_str(), file);
        std::fflush(file);
    });
}

LogSinkScope::~LogSinkScope() {
    if (m_file == nullptr) return;
    LOGGER::CRKLog::SetSink(nullptr);
    if (m_owned) std::fclose(m_file);
}

}  // namespace rktool
