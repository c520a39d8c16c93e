// CRKError: the failure record of every RKCurl object and operation.
//
// A fixed-size value type: two integer codes and two wide messages of at most 1023 characters,
// so it copies, assigns and throws without owning memory. Operations return the code and leave
// the whole record in the object's m_error; a host reads it with what()/whatEx() and the two
// message accessors, or throws it with raise(). Not synchronised: one thread per object.
#pragma once

#include <string>

#include "RKCurl/Export.h"

namespace oru {
namespace shared {
namespace error {

// The library's failure codes; 0 means no failure.
enum rkerr_e {
    RKERR_BUFFER_TOO_SMALL = 2503,  // GetResponse: the caller's buffer is too small
    RKERR_GLOBAL_INIT = 2504,       // libcurl's global initialisation failed
    RKERR_HANDLE_INIT = 2505,       // making a libcurl easy handle failed
    RKERR_SET_OPTION = 2506,        // setting a libcurl option failed
    RKERR_FILE_OPEN = 2507,         // opening a local file failed
    RKERR_PERFORM = 2509,           // the transfer failed
    RKERR_DELETE_FILE = 2511,       // deleting a remote file failed
    RKERR_COMMAND = 2513,           // a list of FTP commands failed
    RKERR_SET_CURRENT_DIR = 2514,   // changing the remote current directory failed
    RKERR_GET_CURRENT_DIR = 2515,   // reading the remote current directory failed
    RKERR_CREATE_DIR = 2516,        // creating a remote directory failed
    RKERR_GET_FILE = 2517,          // an FTP download failed
    RKERR_REMOVE_DIR = 2518,        // removing a remote directory failed
    RKERR_ABORTED = 2520,           // the caller's progress callback stopped the transfer
    RKERR_GET_TREE = 2521,          // a tree download had failed or refused entries
    RKERR_PUT_TREE = 2522,          // a tree upload had failed or refused entries
};

// The enumerator's name of a library code ("RKERR_PERFORM" for 2509), for messages of hosts and
// tools; "RKERR_UNKNOWN" for any other value, 0 included. Never null.
RKCURL_API const char* ErrorCodeName(int code);

class RKCURL_API CRKError {
public:
    static constexpr int kMessageCapacity = 1024;  // wide characters, terminator included

    CRKError(rkerr_e code = rkerr_e(0), int extendedCode = 0);
    CRKError(int code);
    CRKError(const CRKError& other);
    CRKError& operator=(const CRKError& other);
    ~CRKError() {}

    operator int() const { return m_code; }
    int what() const { return m_code; }
    int whatEx() const { return m_extendedCode; }

    // Sets the extended code, then the code; the messages stay.
    void setErrorCD(const rkerr_e& code, int extendedCode);

    const wchar_t* GetMessageW() const { return m_message; }
    const wchar_t* GetMessageEx() const { return m_messageEx; }

    // Each stores at most 1023 characters; a longer text is cut without notice.
    void SetMessage(const std::wstring& message);
    void SetMessageEx(const std::wstring& message);
    void SetMessageEx(const std::string& utf8Message);

    // Both codes 0, both messages empty.
    void reset();

    // Throws a copy of this record by value.
    [[noreturn]] void raise() const;

    int m_code;
    int m_extendedCode;
    wchar_t m_message[kMessageCapacity];
    wchar_t m_messageEx[kMessageCapacity];
};

}  // namespace error
}  // namespace shared
}  // namespace oru
