// --log: the library's log records, one line each, into a file or standard error.
#pragma once

#include <RKLogging/RKLogging.h>

#include <cstdio>
#include <string>

namespace rktool {

// "ERROR Connection:253 Error Code : Error Desc": severity (or ENTER, LEAVE, MSG for the
// records without one), source file and line ("-:0" when the record has none), the text with
// its line feeds shown as " | " so that each record stays on one line.
std::string FormatLogRecord(const LOGGER::LogRecord& record);

// Installs the sink for its lifetime and removes it before the file is closed.
class LogSinkScope {
public:
    // target: a file name, or "-" for standard error. ok() tells whether the file opened.
    explicit LogSinkScope(const std::string& target);
    ~LogSinkScope();
    LogSinkScope(const LogSinkScope&) = delete;
    LogSinkScope& operator=(const LogSinkScope&) = delete;
    bool ok() const { return m_file != nullptr; }

private:
    std::FILE* m_file;
    bool m_owned;
};

}  // namespace rktool
