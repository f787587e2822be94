# MinGW-w64 cross-compilation, for the triplet the including file sets.
set(CMAKE_SYSTEM_NAME Windows)
# The posix thread model gives std::thread and std::mutex.
set(CMAKE_C_COMPILER ${KORVFIX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVFIX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVFIX_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KORVFIX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
