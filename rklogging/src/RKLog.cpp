#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <utility>
#include <vector>

#include "Dispatch.h"

namespace LOGGER {

CRKLog g_RKLog;

namespace {

std::mutex& SinkMutex() {
    static std::mutex mutex;
    return mutex;
}

Sink& CurrentSink() {
    static Sink sink;
    return sink;
}

std::atomic<bool> g_hasSink{false};

std::string FormatNarrow(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[256];
    const int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0) return std::string();
    if (static_cast<std::size_t>(needed) < sizeof small) return std::string(small, needed);
    std::vector<char> large(static_cast<std::size_t>(needed) + 1);
    std::vsnprintf(large.data(), large.size(), format, args);
    return std::string(large.data(), needed);
}

}  // namespace

namespace detail {

bool HasSink() { return g_hasSink.load(std::memory_order_acquire); }

void Dispatch(const LogRecord& record) {
    std::lock_guard<std::mutex> lock(SinkMutex());
    if (CurrentSink()) CurrentSink()(record);
}

}  // namespace detail

void CRKLog::SetSink(Sink sink) {
    std::lock_guard<std::mutex> lock(SinkMutex());
    g_hasSink.store(static_cast<bool>(sink), std::memory_order_release);
    CurrentSink() = std::move(sink);
}

int CRKLog::WriteLog(const char* message, _Severity severity, const char* file, int line,
                     const char*) {
    if (!detail::HasSink()) return 0;
    detail::Dispatch(LogRecord{LogKind::Write, message ? message : "", static_cast<int>(severity),
                               file ? file : "", line});
    return 0;
}

void CRKLog::Log(const wchar_t* format, ...) {
    if (!detail::HasSink() || format == nullptr) return;
    va_list args;
    va_start(args, format);
    std::string text = detail::FormatWide(format, args);
    va_end(args);
    detail::Dispatch(LogRecord{LogKind::Message, std::move(text), 0, std::string(), 0});
}

void CRKLog::Log(const char* format, ...) {
    if (!detail::HasSink() || format == nullptr) return;
    va_list args;
    va_start(args, format);
    std::string text = FormatNarrow(format, args);
    va_end(args);
    detail::Dispatch(LogRecord{LogKind::Message, std::move(text), 0, std::string(), 0});
}

}  // namespace LOGGER
