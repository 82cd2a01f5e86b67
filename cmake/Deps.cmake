# Imported targets for the cross-built libraries: a prefix per triplet under
# PELVANE_DEPS.
set(PELVANE_DEPS "${CMAKE_SOURCE_DIR}/.deps" CACHE PATH "parent of the cross-built libraries' prefixes")
if(DEFINED ENV{PELVANE_DEPS})
  set(PELVANE_DEPS "$ENV{PELVANE_DEPS}" CACHE PATH "" FORCE)
endif()
set(deps_prefix "${PELVANE_DEPS}/${PELVANE_TRIPLET}")

if(NOT EXISTS "${deps_prefix}/lib/libcryptopp.a")
  message(FATAL_ERROR "no cross-built libraries in ${deps_prefix}; run scripts/setup.sh")
endif()

# Every consumer must see the library's own configuration macros.
file(READ "${deps_prefix}/cryptopp.defs" cryptopp_defs)
string(STRIP "${cryptopp_defs}" cryptopp_defs)
separate_arguments(cryptopp_defs)
list(TRANSFORM cryptopp_defs REPLACE "^-D" "")

add_library(cryptopp STATIC IMPORTED GLOBAL)
set_target_properties(cryptopp PROPERTIES
  IMPORTED_LOCATION "${deps_prefix}/lib/libcryptopp.a"
  INTERFACE_INCLUDE_DIRECTORIES "${deps_prefix}/include"
  INTERFACE_COMPILE_DEFINITIONS "${cryptopp_defs};CRYPTOPP_ENABLE_NAMESPACE_WEAK=1"
  INTERFACE_LINK_LIBRARIES "advapi32;bcrypt")

add_library(speex STATIC IMPORTED GLOBAL)
set_target_properties(speex PROPERTIES
  IMPORTED_LOCATION "${deps_prefix}/lib/libspeex.a"
  INTERFACE_INCLUDE_DIRECTORIES "${deps_prefix}/include")

add_library(amrnb STATIC IMPORTED GLOBAL)
set_target_properties(amrnb PROPERTIES
  IMPORTED_LOCATION "${deps_prefix}/lib/libopencore-amrnb.a"
  INTERFACE_INCLUDE_DIRECTORIES "${deps_prefix}/include")

# GoogleTest from the source Debian's googletest package installs.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
