# 32-bit Windows (PE32): the product.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PELVANE_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
