# 64-bit Windows (PE32+): every program and test, for machines that run no
# 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PELVANE_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
