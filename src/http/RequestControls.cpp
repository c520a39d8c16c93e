// CRHTTP's opt-in request controls: plain GETs, redirect following and extra header lines.
// The setters only store; the request sequence applies them (HttpRequest).
#include "RKCurl/CRHTTP.h"
#include "RKCurl/TextConversion.h"

int CRHTTP::SetPlainGet(int plain) {
    m_requestControls.plainGet = plain;
    return 0;
}

int CRHTTP::SetFollowRedirects(long maxRedirects) {
    m_requestControls.maxRedirects = maxRedirects;
    return 0;
}

int CRHTTP::AddHeader(const wchar_t* line) {
    // An empty line would reach libcurl as a header without a name; there is nothing to send.
    if (line == nullptr || *line == L'\0') return 0;
    m_requestControls.headers.push_back(oru::helper::WideStrToNarStr(line));
    return 0;
}

int CRHTTP::ClearHeaders() {
    m_requestControls.headers.clear();
    return 0;
}
