#include "RKCurl/CRKCurl.h"

CRKCurl::CRKCurl() {}

CRKCurl& CRKCurl::operator=(const CRKCurl&) {
    return *this;
}

int fnRKCurl(void) {
    return 42;
}

int nRKCurl = 0;
