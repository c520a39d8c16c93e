# Installation: headers, both libraries, a CMake package config and a pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS RKCurl RKLogging EXPORT RKCurlTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/RKCurl
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/rklogging/include/RKLogging
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(RKCURL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/RKCurl)
install(EXPORT RKCurlTargets NAMESPACE RKCurl:: DESTINATION ${RKCURL_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/RKCurlConfig.cmake.in
    ${PROJECT_BINARY_DIR}/RKCurlConfig.cmake
    INSTALL_DESTINATION ${RKCURL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/RKCurlConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/RKCurlConfig.cmake ${PROJECT_BINARY_DIR}/RKCurlConfigVersion.cmake
    DESTINATION ${RKCURL_CMAKE_DIR})

# The .pc file finds its prefix from its own place, so an install moved elsewhere still works.
file(RELATIVE_PATH RKCURL_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
configure_file(${PROJECT_SOURCE_DIR}/cmake/rkcurl.pc.in ${PROJECT_BINARY_DIR}/rkcurl.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/rkcurl.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(WIN32)
    # A Windows install is self-contained: libcurl's DLL goes beside RKCurl.dll and rkcurl.exe.
    get_target_property(RKCURL_CURL_TYPE CURL::libcurl TYPE)
    if(RKCURL_CURL_TYPE STREQUAL "SHARED_LIBRARY")
        install(FILES $<TARGET_FILE:CURL::libcurl> DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endif()

# cpack makes a ZIP of the install tree (TGZ elsewhere).
set(CPACK_PACKAGE_NAME RKCurl)
set(CPACK_PACKAGE_VENDOR RKCurl)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_SYSTEM_NAME win64)
else()
    set(CPACK_GENERATOR TGZ)
endif()
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SYSTEM_NAME})
include(CPack)
