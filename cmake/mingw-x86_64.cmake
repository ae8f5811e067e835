# Cross-builds a 64-bit flavour of the program, for the end-to-end tests only: on a machine whose
# kernel runs no 32-bit processes, 32-bit Wine cannot start, but 64-bit Wine can run this flavour.
# The product itself is the 32-bit build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The Win32-threads flavour: the program has one thread, and this flavour links no
# pthreads emulation into it.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Lets add_test run the Windows programs this tree builds.
set(CMAKE_CROSSCOMPILING_EMULATOR wine64)
