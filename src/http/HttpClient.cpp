// CRHTTP as an object: construction, copying, the setters and the form fields.
#include <limits>

#include "RKCurl/CRHTTP.h"

namespace {

// The setters take null as the empty text rather than handing null to std::wstring.
std::wstring WideOrEmpty(const wchar_t* text) {
    return text != nullptr ? text : L"";
}

}  // namespace

CRHTTP::CRHTTP()
    : m_postedFileSize(std::numeric_limits<std::uint64_t>::max()), m_writeCallback(nullptr) {}

CRHTTP::CRHTTP(const CRHTTP& other)
    : CConnection(other),
      m_postFields(other.m_postFields),
      m_postedFileSize(other.m_postedFileSize),
      m_multiPartFields(other.m_multiPartFields),
      m_writeCallback(other.m_writeCallback),
      m_soapPostData(other.m_soapPostData),
      m_soapHeader(other.m_soapHeader),
      m_requestControls(other.m_requestControls) {}

CRHTTP& CRHTTP::operator=(const CRHTTP& other) {
    if (this == &other) return *this;  // the fields stay as they are
    CConnection::operator=(other);
    m_postFields = other.m_postFields;
    m_postedFileSize = other.m_postedFileSize;
    m_multiPartFields.clear();
    m_multiPartFields.insert(other.m_multiPartFields.begin(), other.m_multiPartFields.end());
    m_writeCallback = other.m_writeCallback;
    m_soapPostData = other.m_soapPostData;
    m_soapHeader = other.m_soapHeader;
    m_requestControls = other.m_requestControls;
    return *this;
}

CRHTTP::~CRHTTP() = default;

int CRHTTP::Validate() {
    return m_error.m_code;
}

int CRHTTP::SetPostFields(const wchar_t* text) {
    m_postFields = WideOrEmpty(text);
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
    m_multiPartFields[WideOrEmpty(name)] = WideOrEmpty(value);
    return 0;
}
