// RKLogging: the logger that RKCurl writes its traces and failure records to.
//
// One process-wide logger, LOGGER::g_RKLog. RKCurl calls four things on it: the scope tracer
// CRKFuncLog (a record at entry and at every exit of an operation), WriteLog (a message with
// severity, source file and line), and Log in a wide and a narrow printf-style form. In the wide
// form "%s" means a wide string and "%S" a narrow one, as on Windows.
//
// Records go to the sink that the host installs with CRKLog::SetSink; with no sink they are
// dropped at almost no cost. The sink is called on the thread that writes the record, one call
// at a time. Records that the sink writes itself (through RKCurl or this logger) are dropped,
// and an exception that the sink throws is swallowed: logging never changes what an operation
// does. A sink may install another sink. Texts reach the sink as UTF-8.
#pragma once

#include <functional>
#include <string>

#if defined(_WIN32)
#if defined(RKLOGGING_BUILDING)
#define RKLOGGING_API __declspec(dllexport)
#else
#define RKLOGGING_API __declspec(dllimport)
#endif
#else
#define RKLOGGING_API __attribute__((visibility("default")))
#endif

namespace LOGGER {

// Severity of a WriteLog record. RKCurl writes 3 for failures and 2 for transfer notes.
enum _Severity {
    SEV_TRACE = 0,
    SEV_INFO = 1,
    SEV_WARNING = 2,
    SEV_ERROR = 3,
    SEV_FATAL = 4,
};

enum class LogKind {
    Enter,    // CRKFuncLog constructed: text is the operation name
    Exit,     // CRKFuncLog destroyed: text is the operation name
    Write,    // WriteLog: text, severity, file and line as given
    Message,  // Log, either form: text is the formatted message
};

struct LogRecord {
    LogKind kind;
    std::string text;  // UTF-8
    int severity;      // WriteLog's severity; 0 for the other kinds
    std::string file;  // WriteLog's source file; empty for the other kinds
    int line;          // WriteLog's line; 0 for the other kinds
};

using Sink = std::function<void(const LogRecord&)>;

class RKLOGGING_API CRKLog {
public:
    // Writes a record; the last argument is reserved and may be null. Always returns 0.
    int WriteLog(const char* message, _Severity severity, const char* file, int line,
                 const char* reserved);

    // printf-style records. In the wide form %s is a wide string, %S a narrow one.
    void Log(const wchar_t* format, ...);
    void Log(const char* format, ...);

    // Installs the destination of every record; an empty sink drops them.
    static void SetSink(Sink sink);
};

RKLOGGING_API extern CRKLog g_RKLog;

// Marks the entry to and the exit from a scope with two records carrying the scope's name.
class RKLOGGING_API CRKFuncLog {
public:
    CRKFuncLog(CRKLog& log, const char* name, const char* reserved);
    ~CRKFuncLog();
    CRKFuncLog(const CRKFuncLog&) = delete;
    CRKFuncLog& operator=(const CRKFuncLog&) = delete;

private:
    const char* m_name;
};

}  // namespace LOGGER
