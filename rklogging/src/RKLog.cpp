#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "Dispatch.h"

namespace LOGGER {

CRKLog g_RKLog;

namespace {

// Calls into the sink are serialised by one lock; the installed sink is swapped under another,
// so that a sink may install another sink without waiting for itself.
std::mutex& CallMutex() {
    static std::mutex* mutex = new std::mutex;  // never destroyed: records may come late at exit
    return *mutex;
}

std::mutex& StateMutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

std::shared_ptr<const Sink>& CurrentSink() {
    static auto* sink = new std::shared_ptr<const Sink>;
    return *sink;
}

std::atomic<bool> g_hasSink{false};

// Set while this thread is inside the sink: records it writes from there are dropped instead of
// waiting for the lock it already holds.
thread_local bool t_inSink = false;

class InSinkScope {
public:
    InSinkScope() { t_inSink = true; }
    ~InSinkScope() { t_inSink = false; }
    InSinkScope(const InSinkScope&) = delete;
    InSinkScope& operator=(const InSinkScope&) = delete;
};

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

bool HasSink() {
    return g_hasSink.load(std::memory_order_acquire);
}

void Dispatch(const LogRecord& record) {
    if (t_inSink) return;
    std::lock_guard<std::mutex> call(CallMutex());
    std::shared_ptr<const Sink> sink;
    {
        std::lock_guard<std::mutex> state(StateMutex());
        sink = CurrentSink();
    }
    if (!sink) return;
    const InSinkScope scope;
    // Whatever the sink throws stays here: records are written from operations that report
    // through codes, and from destructors.
    try {
        (*sink)(record);
    } catch (...) {
    }
}

}  // namespace detail

void CRKLog::SetSink(Sink sink) {
    std::shared_ptr<const Sink> installed;
    if (sink) installed = std::make_shared<const Sink>(std::move(sink));
    // Outside a sink, wait until a running call is done, so that the previous sink is not in
    // use once this returns; from inside the sink that wait would be on itself.
    std::shared_ptr<const Sink> previous;  // released last, after both locks
    std::unique_lock<std::mutex> call(CallMutex(), std::defer_lock);
    if (!t_inSink) call.lock();
    {
        std::lock_guard<std::mutex> state(StateMutex());
        g_hasSink.store(static_cast<bool>(installed), std::memory_order_release);
        previous = std::move(CurrentSink());
        CurrentSink() = std::move(installed);
    }
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
