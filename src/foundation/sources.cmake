# The foundation: the error record, text conversion and the textual path rules.
set(RKCURL_FOUNDATION_SOURCES
    foundation/CRKError.cpp
    foundation/PathRules.cpp
    foundation/TextConversion.cpp)
