# Cross-compiling for Windows with the posix-thread MinGW-w64 compilers
# (the win32-thread ones lack std::mutex and std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ORBISK_MINGW_TRIPLE})
set(CMAKE_C_COMPILER ${ORBISK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORBISK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ORBISK_MINGW_TRIPLE}-windres)

# Static codec libraries cross-built by scripts/build-windows-deps live in a cache
# outside the tree; the script keeps a stable link per checkout (named by a hash of
# its real path) and triple to the libraries this checkout's recipe builds.
if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
  set(ORBISK_CACHE_DIR "$ENV{XDG_CACHE_HOME}/orbisk")
else()
  set(ORBISK_CACHE_DIR "$ENV{HOME}/.cache/orbisk")
endif()
file(REAL_PATH "${CMAKE_CURRENT_LIST_DIR}/.." orbisk_checkout)
string(SHA256 orbisk_checkout_hash "${orbisk_checkout}")
string(SUBSTRING "${orbisk_checkout_hash}" 0 12 orbisk_checkout_hash)
set(orbisk_windeps_link
    "${ORBISK_CACHE_DIR}/windeps/checkout-${orbisk_checkout_hash}/${ORBISK_MINGW_TRIPLE}")
# A build tree made before the links were per checkout is moved over; a prefix given
# on the command line (the dependency builds' own) is kept.
if(NOT ORBISK_WINDEPS_PREFIX OR
   ORBISK_WINDEPS_PREFIX STREQUAL "${ORBISK_CACHE_DIR}/windeps/${ORBISK_MINGW_TRIPLE}")
  set(ORBISK_WINDEPS_PREFIX "${orbisk_windeps_link}" CACHE PATH
      "Cross-built third-party libraries for this triple" FORCE)
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${ORBISK_MINGW_TRIPLE} ${ORBISK_WINDEPS_PREFIX})
set(CMAKE_PREFIX_PATH ${ORBISK_WINDEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows test executables run under Wine (see scripts/wine-run).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
