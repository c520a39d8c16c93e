#include "RKCurl/CRKError.h"

#include <algorithm>

#include "RKCurl/TextConversion.h"

namespace oru {
namespace shared {
namespace error {
namespace {

// Copies at most capacity-1 characters (stopping at the source's terminator), zero-fills the
// rest of the array and terminates it.
void StoreMessage(wchar_t (&target)[CRKError::kMessageCapacity], const wchar_t* source,
                  std::size_t length) {
    constexpr std::size_t kLimit = CRKError::kMessageCapacity - 1;
    std::size_t n = 0;
    const std::size_t limit = std::min(length, kLimit);
    for (; n < limit && source[n] != 0; ++n) target[n] = source[n];
    std::fill(target + n, target + CRKError::kMessageCapacity, L'\0');
}

}  // namespace

CRKError::CRKError(rkerr_e code, int extendedCode) : m_code(code), m_extendedCode(extendedCode) {
    StoreMessage(m_message, L"", 0);
    StoreMessage(m_messageEx, L"", 0);
}

CRKError::CRKError(int code) : CRKError(rkerr_e(code), 0) {}

CRKError::CRKError(const CRKError& other)
    : m_code(other.m_code), m_extendedCode(other.m_extendedCode) {
    StoreMessage(m_message, other.m_message, kMessageCapacity);
    StoreMessage(m_messageEx, other.m_messageEx, kMessageCapacity);
}

CRKError& CRKError::operator=(const CRKError& other) {
    if (this == &other) return *this;
    m_code = other.m_code;
    m_extendedCode = other.m_extendedCode;
    StoreMessage(m_message, other.m_message, kMessageCapacity);
    StoreMessage(m_messageEx, other.m_messageEx, kMessageCapacity);
    return *this;
}

void CRKError::setErrorCD(const rkerr_e& code, int extendedCode) {
    m_extendedCode = extendedCode;
    m_code = code;
}

void CRKError::SetMessage(const std::wstring& message) {
    StoreMessage(m_message, message.c_str(), message.size());
}

void CRKError::SetMessageEx(const std::wstring& message) {
    StoreMessage(m_messageEx, message.c_str(), message.size());
}

void CRKError::SetMessageEx(const std::string& utf8Message) {
    SetMessageEx(helper::NarStrToWideStr(utf8Message));
}

void CRKError::reset() {
    m_code = 0;
    m_extendedCode = 0;
    StoreMessage(m_message, L"", 0);
    StoreMessage(m_messageEx, L"", 0);
}

void CRKError::raise() const {
    throw CRKError(*this);
}

const char* ErrorCodeName(int code) {
    // A case for every enumerator and no default: a new code without a name breaks the build
    // (the switch warning is fatal).
    switch (static_cast<rkerr_e>(code)) {
        case RKERR_BUFFER_TOO_SMALL:
            return "RKERR_BUFFER_TOO_SMALL";
        case RKERR_GLOBAL_INIT:
            return "RKERR_GLOBAL_INIT";
        case RKERR_HANDLE_INIT:
            return "RKERR_HANDLE_INIT";
        case RKERR_SET_OPTION:
            return "RKERR_SET_OPTION";
        case RKERR_FILE_OPEN:
            return "RKERR_FILE_OPEN";
        case RKERR_PERFORM:
            return "RKERR_PERFORM";
        case RKERR_DELETE_FILE:
            return "RKERR_DELETE_FILE";
        case RKERR_COMMAND:
            return "RKERR_COMMAND";
        case RKERR_SET_CURRENT_DIR:
            return "RKERR_SET_CURRENT_DIR";
        case RKERR_GET_CURRENT_DIR:
            return "RKERR_GET_CURRENT_DIR";
        case RKERR_CREATE_DIR:
            return "RKERR_CREATE_DIR";
        case RKERR_GET_FILE:
            return "RKERR_GET_FILE";
        case RKERR_REMOVE_DIR:
            return "RKERR_REMOVE_DIR";
        case RKERR_ABORTED:
            return "RKERR_ABORTED";
        case RKERR_GET_TREE:
            return "RKERR_GET_TREE";
        case RKERR_PUT_TREE:
            return "RKERR_PUT_TREE";
    }
    return "RKERR_UNKNOWN";
}

}  // namespace error
}  // namespace shared
}  // namespace oru
