# The platform layer. On Windows it is the system: the text codec over MultiByteToWideChar and
# WideCharToMultiByte, and the local file calls; the C runtime calls and the FILETIME
# conversions are the system's own. Elsewhere it adds stand-ins for them.
if(WIN32)
    set(RKCURL_PLATFORM_SOURCES
        platform/LocalFiles.cpp
        platform/UtfWindows.cpp)
else()
    set(RKCURL_PLATFORM_SOURCES
        platform/CRuntime.cpp
        platform/LocalFiles.cpp
        platform/SystemTime.cpp
        platform/Utf.cpp)
endif()
