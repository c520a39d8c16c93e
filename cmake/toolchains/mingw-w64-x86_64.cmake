# Cross-compiles for 64-bit Windows with Debian's mingw-w64 toolchain (the POSIX thread model,
# which std::thread and std::mutex need). Programs built with it run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(RKCURL_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${RKCURL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RKCURL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${RKCURL_MINGW_TRIPLET}-windres)

# Libraries and headers come from the target's sysroot and the prefixes handed in
# (CMAKE_PREFIX_PATH, CURL_ROOT); programs run at build time come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${RKCURL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Programs need no libgcc/libstdc++/libwinpthread DLLs beside them under Wine or on a host.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -Wl,-Bstatic,--whole-archive -lwinpthread -Wl,--no-whole-archive,-Bdynamic")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -Wl,-Bstatic,--whole-archive -lwinpthread -Wl,--no-whole-archive,-Bdynamic")

# Runs test programs (gtest discovery, try_run) under Wine.
find_program(RKCURL_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(RKCURL_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${RKCURL_WINE})
endif()
