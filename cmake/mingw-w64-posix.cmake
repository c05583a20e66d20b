# Cross build for 64-bit Windows with the posix thread model (the win32 model has no std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(HORALUX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${HORALUX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HORALUX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${HORALUX_MINGW_PREFIX}-windres)
set(HORALUX_WINDMC     ${HORALUX_MINGW_PREFIX}-windmc)

set(CMAKE_FIND_ROOT_PATH /usr/${HORALUX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Tests of the cross build run under Wine inside the test fixture's prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-emulator.sh)
