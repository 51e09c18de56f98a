# libjpeg-turbo and GoogleTest are real, installed dependencies, never vendored.
#  - MinGW cross builds on Debian: libjpeg-turbo is built once from Debian's
#    source package into MIRABO_DEPS_DIR (scripts/build-libjpeg.sh), GoogleTest
#    is compiled from Debian's /usr/src/googletest.
#  - Native Linux: Debian's libjpeg62-turbo-dev and the same GoogleTest source.
#  - Windows (MSVC or MinGW) with vcpkg: both come from the vcpkg manifest.
set(MIRABO_DEPS_DIR "${CMAKE_SOURCE_DIR}/build/_deps" CACHE PATH "Where built dependencies are cached")

if(CMAKE_CROSSCOMPILING AND MIRABO_TRIPLE AND CMAKE_HOST_UNIX)
  set(_jpeg_prefix "${MIRABO_DEPS_DIR}/${MIRABO_TRIPLE}")
  if(NOT EXISTS "${_jpeg_prefix}/lib/libjpeg.a")
    message(STATUS "Building libjpeg-turbo for ${MIRABO_TRIPLE} from Debian's source package")
    execute_process(
      COMMAND "${CMAKE_SOURCE_DIR}/scripts/build-libjpeg.sh" ${MIRABO_TRIPLE} "${MIRABO_DEPS_DIR}"
      RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0)
      message(FATAL_ERROR "libjpeg-turbo build failed")
    endif()
  endif()
  list(PREPEND CMAKE_FIND_ROOT_PATH "${_jpeg_prefix}")
endif()

find_package(JPEG REQUIRED)
message(STATUS "libjpeg: ${JPEG_LIBRARIES} (version ${JPEG_VERSION})")

if(MIRABO_BUILD_TESTS)
  set(MIRABO_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest source tree (Debian's googletest package)")
  if(EXISTS "${MIRABO_GTEST_SOURCE}/CMakeLists.txt")
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory("${MIRABO_GTEST_SOURCE}" "${CMAKE_BINARY_DIR}/_gtest" EXCLUDE_FROM_ALL)
    if(NOT WIN32 AND MIRABO_SANITIZE)
      # gtest's containers cross into our sanitized code; mismatched
      # annotations would report false overflows.
      target_compile_options(gtest PRIVATE -fsanitize=address,undefined)
      target_compile_options(gtest_main PRIVATE -fsanitize=address,undefined)
    endif()
    if(NOT TARGET GTest::gtest_main)
      add_library(GTest::gtest ALIAS gtest)
      add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
  else()
    find_package(GTest CONFIG REQUIRED)
  endif()
  include(GoogleTest)
endif()
