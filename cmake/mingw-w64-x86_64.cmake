# Cross-compiling the Windows x86-64 module and its tests with mingw-w64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZU_MINGW_PREFIX x86_64-w64-mingw32)
# The posix thread model gives GoogleTest its std::mutex; the module itself
# takes its locks from the platform layer and links winpthread statically.
set(CMAKE_C_COMPILER ${ZU_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZU_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZU_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZU_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Windows test programs run under wine64 through CTest.
if(EXISTS /usr/lib/wine/wine64)
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
endif()
