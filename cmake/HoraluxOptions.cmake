# Compiler settings shared by every target of the project (not by GoogleTest).
add_library(horalux_options INTERFACE)
target_compile_options(horalux_options INTERFACE -Wall -Wextra -Wshadow -Wformat=2)
# Sources include "folder/File.h" from the source tree; headers the build makes (common/ProductFacts.h)
# lie under generated/ in the build tree.
target_include_directories(horalux_options INTERFACE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)

if(WIN32)
    # ANSI Win32 only; no UNICODE/TCHAR anywhere.
    target_compile_definitions(horalux_options INTERFACE
        WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
    # Static so the .exe files run on a bare Windows without the MinGW runtime DLLs.
    target_link_options(horalux_options INTERFACE -static -static-libgcc -static-libstdc++)
    # Reproducible: the same commit built in any folder, at any time, gives the same bytes. No
    # folder of the build in the programs (__FILE__, debug information), no link time stamp.
    target_compile_options(horalux_options INTERFACE
        -ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
    target_link_options(horalux_options INTERFACE -Wl,--no-insert-timestamp)
endif()

if(HORALUX_SANITIZE AND HORALUX_TSAN)
    message(FATAL_ERROR "HORALUX_SANITIZE and HORALUX_TSAN cannot be combined")
endif()
if(HORALUX_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
if(HORALUX_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()
if(HORALUX_FUZZ)
    # Coverage for libFuzzer in every library; each fuzz target links the fuzzer's main itself.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# horalux_add_module(NAME DEPENDS...): a static library of the .cpp files of the current folder.
# Files ending in _win.cpp are the Win32 shell and build only for Windows; files ending in
# _posix.cpp are the native seam and build only elsewhere. Everything else is portable core.
function(horalux_add_module name)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(WIN32)
        list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
    else()
        list(FILTER sources EXCLUDE REGEX "_win\\.cpp$")
    endif()
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC horalux_options ${ARGN})
endfunction()
