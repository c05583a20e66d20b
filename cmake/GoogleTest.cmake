# GoogleTest from the sources that Debian's googletest package installs, built with the
# project's own compiler so the same tests run natively and under Wine.
set(HORALUX_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${HORALUX_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${HORALUX_GTEST_SOURCE_DIR}; run tools/setup.sh")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${HORALUX_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# horalux_add_test(NAME SOURCES... LIBRARIES...): one test program whose cases ctest lists one by one.
function(horalux_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBRARIES;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBRARIES} horalux_options GTest::gmock_main)
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        PROPERTIES LABELS "${T_LABELS}" TIMEOUT 300)
endfunction()
