// CRHTTP's opt-in request controls: plain GETs, redirect following and extra header lines.
// The setters only store; every operation applies them (HttpOperation).
#include "RKCurl/CRHTTP.h"
#include "RKCurl/TextConversion.h"
#include "http/HttpState.h"

int CRHTTP::SetPlainGet(int plain) {
    m_httpState->plainGet = plain;
    return 0;
}

int CRHTTP::SetFollowRedirects(long maxRedirects) {
    m_httpState->maxRedirects = maxRedirects;
    return 0;
}

int CRHTTP::SetAllowRedirectToHttp(int allow) {
    m_httpState->allowRedirectToHttp = allow;
    return 0;
}

int CRHTTP::AddHeader(const wchar_t* line) {
    // An empty line would reach libcurl as a header without a name; there is nothing to send.
    if (line == nullptr || *line == L'\0') return 0;
    m_httpState->headers.push_back(oru::helper::WideStrToNarStr(line));
    return 0;
}

int CRHTTP::ClearHeaders() {
    m_httpState->headers.clear();
    return 0;
}
