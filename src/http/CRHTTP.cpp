// CRHTTP as an object: construction, copying, the setters and the form fields.
#include "RKCurl/CRHTTP.h"

#include "foundation/WideText.h"
#include "http/HttpState.h"

// The setters take null as the empty text rather than handing null to std::wstring.
using rkcurl::OrEmpty;

CRHTTP::CRHTTP() = default;
CRHTTP::CRHTTP(const CRHTTP& other) = default;
CRHTTP& CRHTTP::operator=(const CRHTTP& other) = default;
CRHTTP::~CRHTTP() = default;

int CRHTTP::Validate() {
    return m_error.m_code;
}

int CRHTTP::SetPostFields(const wchar_t* text) {
    m_postFields = OrEmpty(text);
    return 0;
}

void CRHTTP::SetSOAPHeader(const char* line) {
    if (line == nullptr) {
        m_soapHeader.clear();
    } else {
        m_soapHeader = line;
    }
}

void CRHTTP::SetSOAPPostData(const char* data) {
    if (data == nullptr) {
        m_soapPostData.clear();
    } else {
        m_soapPostData = data;
    }
}

int CRHTTP::SetPostedFileSize(std::uint64_t size) {
    m_postedFileSize = size;
    return 0;
}

int CRHTTP::SetWriteCallbackFunc(WriteCallback callback) {
    m_writeCallback = callback;
    return 0;
}

int CRHTTP::AddMultiPartField(const wchar_t* name, const wchar_t* value) {
    // operator[] finds the entry or inserts an empty one at its place in the key order.
    m_multiPartFields[OrEmpty(name)] = OrEmpty(value);
    return 0;
}
