// The sink that every record passes through.
#pragma once

#include <cstdarg>
#include <string>

#include "RKLogging/RKLogging.h"

namespace LOGGER {
namespace detail {

// True when a sink is installed; lets callers skip formatting when nobody listens.
bool HasSink();

// Hands the record to the sink, if any.
void Dispatch(const LogRecord& record);

// glibc's wide printf with the Windows meaning of %s and %S; the result as UTF-8.
std::string FormatWide(const wchar_t* format, va_list args);

}  // namespace detail
}  // namespace LOGGER
