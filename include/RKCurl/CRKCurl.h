// Three exported items that no operation uses; kept for hosts that link against them.
#pragma once

#include "RKCurl/Export.h"

class RKCURL_API CRKCurl {
public:
    CRKCurl();
    CRKCurl& operator=(const CRKCurl& other);
};

RKCURL_API int fnRKCurl(void);  // returns 42

RKCURL_API extern int nRKCurl;  // holds 0
