# cpack: a ZIP of the whole install tree on Windows, a TGZ elsewhere, and with `cpack -G DEB`
# three Debian packages, one per install component:
#   librkcurl2    the shared libraries (libRKCurl.so.2, libRKLogging.so.2)
#   librkcurl-dev headers, the .so links, the CMake package and the pkg-config file
#   rkcurl        the tool, its manual page and its bash completion
set(CPACK_PACKAGE_NAME RKCurl)
set(CPACK_PACKAGE_VENDOR RKCurl)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_PACKAGE_CONTACT "RKCurl maintainers <rkcurl@localhost>")
if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_SYSTEM_NAME win64)
else()
    set(CPACK_GENERATOR TGZ)
    set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_NAME})
endif()
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SYSTEM_NAME})

# Debian packages. The library package is named after the SONAME, as Debian names them, so a
# future SOVERSION installs beside this one.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# dpkg-shlibdeps (Debian dpkg-dev) adds the dependencies on libcurl and the C++ runtime.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_LIB_PACKAGE_NAME librkcurl${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_DEV_PACKAGE_NAME librkcurl-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libcurl4-openssl-dev | libcurl-dev")
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME rkcurl)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION net)
# The tool finds the library through its run path; tell dpkg-shlibdeps where it is built.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    ${PROJECT_BINARY_DIR}/src ${PROJECT_BINARY_DIR}/rklogging)

include(CPack)

cpack_add_component(lib DISPLAY_NAME "RKCurl shared libraries"
    DESCRIPTION "FTP, FTPS, HTTP and HTTPS client classes over libcurl, and their logger")
cpack_add_component(dev DISPLAY_NAME "RKCurl development files" DEPENDS lib
    DESCRIPTION "Headers, CMake package and pkg-config file for building against RKCurl")
if(RKCURL_BUILD_TOOLS)
    cpack_add_component(tool DISPLAY_NAME "rkcurl command-line tool" DEPENDS lib
        DESCRIPTION "Moves files and pages over FTP, FTPS, HTTP and HTTPS from a shell")
endif()
