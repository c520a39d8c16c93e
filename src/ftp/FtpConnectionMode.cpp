// CRFTP's opt-in connection choices and where they reach libcurl.
#include "ftp/FtpConnectionMode.h"

#include <curl/curl.h>

#include "RKCurl/TextConversion.h"
#include "connection/ConnectionAccess.h"
#include "connection/CurlOption.h"
#include "ftp/FtpState.h"

int CRFTP::SetImplicitTls(int implicit) {
    m_ftpState->implicitTls = implicit != 0 ? 1 : 0;
    return 0;
}

int CRFTP::SetActivePort(const wchar_t* port) {
    m_ftpState->activePortSet = port != nullptr;
    m_ftpState->activePort = port != nullptr ? oru::helper::WideStrToNarStr(port) : std::string();
    return 0;
}

int CRFTP::SetUseEpsv(int use) {
    m_ftpState->useEpsv = use != 0 ? 1 : 0;
    return 0;
}

int CRFTP::SetUseEprt(int use) {
    m_ftpState->useEprt = use != 0 ? 1 : 0;
    return 0;
}

namespace rkcurl {
namespace ftp {

bool UsesImplicitTls(const CRFTP& session) {
    return ConnectionAccess::State(session).implicitTls != 0;
}

bool SetConnectionMode(CRFTP& session) {
    const FtpState& state = ConnectionAccess::State(session);
    // libcurl keeps its own copy of the text.
    if (state.activePortSet && !SetOption(session, CURLOPT_FTPPORT, state.activePort.c_str()))
        return false;
    if (state.useEpsv >= 0 && !SetOption(session, CURLOPT_FTP_USE_EPSV, long{state.useEpsv}))
        return false;
    return state.useEprt < 0 || SetOption(session, CURLOPT_FTP_USE_EPRT, long{state.useEprt});
}

}  // namespace ftp
}  // namespace rkcurl
