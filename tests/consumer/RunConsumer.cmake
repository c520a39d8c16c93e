# Builds a consumer project in WORK_DIR and runs it. With BUILD_DIR, the build tree is first
# installed into a scratch prefix that the project finds with find_package; with
# RKCURL_SOURCE_DIR, the project adds that source tree itself (add_subdirectory) and its
# installation must hold nothing of RKCurl. The build directory is kept between runs, so a
# rerun after a change rebuilds only what changed; what is installed is always made anew.
file(REMOVE_RECURSE ${WORK_DIR}/prefix ${WORK_DIR}/installed)
function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "failed (${result}): ${ARGN}")
    endif()
endfunction()
if(DEFINED BUILD_DIR)
    run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix)
    set(where -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix)
else()
    set(where -DRKCURL_SOURCE_DIR=${RKCURL_SOURCE_DIR})
endif()
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G Ninja ${where}
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer)
if(DEFINED RKCURL_SOURCE_DIR)
    run(${CMAKE_COMMAND} --install ${WORK_DIR}/build --prefix ${WORK_DIR}/installed)
    file(GLOB_RECURSE installed ${WORK_DIR}/installed/*)
    if(installed)
        message(FATAL_ERROR "the host's installation holds RKCurl's files: ${installed}")
    endif()
endif()
