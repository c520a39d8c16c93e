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

configure_file(${PROJECT_SOURCE_DIR}/cmake/rkcurl.pc.in ${PROJECT_BINARY_DIR}/rkcurl.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/rkcurl.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
