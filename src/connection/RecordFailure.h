// The one way a failure of an operation is recorded.
#pragma once

#include "RKCurl/CConnection.h"

namespace rkcurl {

// setErrorCD(code, extendedCode) on the object's m_error, then SetErrorString with them (the
// messages and failure records). Returns the code. Defined beside SetErrorString.
int RecordFailure(CConnection& connection, int code, int extendedCode);

}  // namespace rkcurl
