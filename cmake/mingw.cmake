# Cross-compiling for Windows with Debian's mingw-w64 (posix threads), for
# the triplet the including toolchain file names.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${PELVANE_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELVANE_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PELVANE_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PELVANE_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wine-run.sh)
