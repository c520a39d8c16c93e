# The FTP listing line parser and its date rules: a unit of its own that depends on nothing
# but the C runtime's clock (from the platform layer).
set(RKCURL_LISTING_SOURCES
    ftp/listing/ListLineParser.cpp
    ftp/listing/ListingDates.cpp
    ftp/listing/MlsdLineParser.cpp
    ftp/listing/SpaceTokens.cpp)
