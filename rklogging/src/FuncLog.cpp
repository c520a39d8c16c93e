#include "Dispatch.h"

namespace LOGGER {

CRKFuncLog::CRKFuncLog(CRKLog&, const char* name, const char*) : m_name(name ? name : "") {
    if (detail::HasSink()) detail::Dispatch(LogRecord{LogKind::Enter, m_name, 0, std::string(), 0});
}

CRKFuncLog::~CRKFuncLog() {
    if (detail::HasSink()) detail::Dispatch(LogRecord{LogKind::Exit, m_name, 0, std::string(), 0});
}

}  // namespace LOGGER
