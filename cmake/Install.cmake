# Installation: headers, both libraries, a CMake package config and a pkg-config file.
# Components: "lib" holds what a program needs at run time (the versioned shared libraries,
# on Windows the DLLs), "dev" what building against them needs; the tool's rules are "tool".
include(CMakePackageConfigHelpers)

install(TARGETS RKCurl RKLogging EXPORT RKCurlTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib NAMELINK_COMPONENT dev
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT lib
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/RKCurl
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/rklogging/include/RKLogging
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)

set(RKCURL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/RKCurl)
install(EXPORT RKCurlTargets NAMESPACE RKCurl:: DESTINATION ${RKCURL_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/RKCurlConfig.cmake.in
    ${PROJECT_BINARY_DIR}/RKCurlConfig.cmake
    INSTALL_DESTINATION ${RKCURL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/RKCurlConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/RKCurlConfig.cmake ${PROJECT_BINARY_DIR}/RKCurlConfigVersion.cmake
    DESTINATION ${RKCURL_CMAKE_DIR} COMPONENT dev)

# The .pc file finds its prefix from its own place, so an install moved elsewhere still works.
file(RELATIVE_PATH RKCURL_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
configure_file(${PROJECT_SOURCE_DIR}/cmake/rkcurl.pc.in ${PROJECT_BINARY_DIR}/rkcurl.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/rkcurl.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
    COMPONENT dev)

if(WIN32)
    # A Windows install is self-contained: libcurl's DLL goes beside RKCurl.dll and rkcurl.exe.
    get_target_property(RKCURL_CURL_TYPE CURL::libcurl TYPE)
    if(RKCURL_CURL_TYPE STREQUAL "SHARED_LIBRARY")
        install(FILES $<TARGET_FILE:CURL::libcurl> DESTINATION ${CMAKE_INSTALL_BINDIR}
            COMPONENT lib)
    endif()
endif()
