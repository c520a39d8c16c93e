// Compiled in a host whose own standard is C++14: RKCurl's targets raise it to C++17.
static_assert(__cplusplus >= 201703L, "RKCurl::RKCurl requires C++17 of the code that uses it");
