# libjpeg-turbo, libtiff, the decoder plug-ins' libraries and GoogleTest are
# real, installed dependencies, never vendored.
#  - MinGW cross builds on Debian: libjpeg-turbo, libtiff with its codecs
#    (liblzma, libzstd, libwebp), libpng and Little CMS are built once from Debian's
#    source packages into MIRABO_DEPS_DIR (scripts/build-deps.sh)
#    against Debian's MinGW zlib, GoogleTest is compiled from Debian's
#    /usr/src/googletest.
#  - Native Linux: Debian's libjpeg62-turbo-dev, libtiff-dev and the same
#    GoogleTest source.
#  - Windows (MSVC or MinGW) with vcpkg: all of them come from the vcpkg manifest.
set(MIRABO_DEPS_DIR "${CMAKE_SOURCE_DIR}/build/_deps" CACHE PATH "Where built dependencies are cached")

if(CMAKE_CROSSCOMPILING AND MIRABO_TRIPLE AND CMAKE_HOST_UNIX)
  set(_deps_prefix "${MIRABO_DEPS_DIR}/${MIRABO_TRIPLE}")
  # The script returns at once when every library's recipe is installed as
  # it stands; a changed recipe builds that library again.
  execute_process(
    COMMAND "${CMAKE_SOURCE_DIR}/scripts/build-deps.sh" ${MIRABO_TRIPLE} "${MIRABO_DEPS_DIR}"
    RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "building the dependencies failed")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/scripts/build-deps.sh")
  list(PREPEND CMAKE_FIND_ROOT_PATH "${_deps_prefix}")
endif()

find_package(JPEG REQUIRED)
message(STATUS "libjpeg: ${JPEG_LIBRARIES} (version ${JPEG_VERSION})")

# The MinGW zlib package also has an import library; the program must not
# need a zlib DLL beside it.
set(ZLIB_USE_STATIC_LIBS ${MINGW})
find_package(ZLIB REQUIRED)
find_package(TIFF REQUIRED)
message(STATUS "libtiff: ${TIFF_LIBRARIES} (version ${TIFF_VERSION_STRING})")
if(TIFF_LIBRARY MATCHES "\\.a$")
  # A static libtiff does not carry the codecs' libraries with it: the
  # ones built beside it (WebP before the library it uses itself), then
  # zlib and libjpeg.
  set(_codecs)
  foreach(_lib webp sharpyuv zstd lzma)
    find_library(MIRABO_${_lib}_LIBRARY NAMES lib${_lib}.a ${_lib})
    if(MIRABO_${_lib}_LIBRARY)
      list(APPEND _codecs "${MIRABO_${_lib}_LIBRARY}")
    endif()
  endforeach()
  set_property(TARGET TIFF::TIFF APPEND PROPERTY INTERFACE_LINK_LIBRARIES ${_codecs} ZLIB::ZLIB JPEG::JPEG)
endif()

# libpng (Debian's libpng-dev natively, built from Debian's source for
# MinGW, vcpkg's "libpng" on Windows); it brings zlib with it.
find_package(PNG REQUIRED)
message(STATUS "libpng: ${PNG_LIBRARIES}")

# Little CMS 2 (Debian's liblcms2-dev natively, built from Debian's source
# for MinGW, vcpkg's "lcms" on Windows): found by its header and library.
find_path(LCMS2_INCLUDE_DIR lcms2.h REQUIRED)
find_library(LCMS2_LIBRARY NAMES lcms2 liblcms2 REQUIRED)
add_library(LCMS2::LCMS2 UNKNOWN IMPORTED)
set_target_properties(LCMS2::LCMS2 PROPERTIES IMPORTED_LOCATION "${LCMS2_LIBRARY}"
                                             INTERFACE_INCLUDE_DIRECTORIES "${LCMS2_INCLUDE_DIR}")
# Its header still says "register", which C++17 no longer has.
set_property(TARGET LCMS2::LCMS2 APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS CMS_NO_REGISTER_KEYWORD)
message(STATUS "lcms2: ${LCMS2_LIBRARY}")

# The decoder plug-ins' libraries, found by header and library alike
# natively (Debian's -dev packages), in the MinGW tree and from vcpkg.
# mirabo_imported(TARGET HEADER NAMES...)
function(mirabo_imported target header)
  string(MAKE_C_IDENTIFIER "${target}" id)
  find_path(${id}_INCLUDE_DIR ${header})
  find_library(${id}_LIBRARY NAMES ${ARGN})
  if(${id}_INCLUDE_DIR AND ${id}_LIBRARY)
    add_library(${target} UNKNOWN IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES IMPORTED_LOCATION "${${id}_LIBRARY}"
                                               INTERFACE_INCLUDE_DIRECTORIES "${${id}_INCLUDE_DIR}")
    message(STATUS "${target}: ${${id}_LIBRARY}")
  endif()
endfunction()
mirabo_imported(WebP::webp webp/decode.h webp libwebp)
mirabo_imported(WebP::demux webp/demux.h webpdemux libwebpdemux)
if(NOT TARGET WebP::webp OR NOT TARGET WebP::demux)
  message(FATAL_ERROR "libwebp (with its demux library) was not found")
endif()
set_property(TARGET WebP::demux APPEND PROPERTY INTERFACE_LINK_LIBRARIES WebP::webp)
# mirabo_decoder_library(TARGET HEADER NAMES... CODEC CODEC_TARGET CODEC_HEADER
# CODEC_NAMES...): a format library with its codec's library; when the
# library is static (the MinGW tree), the codec's goes after it.
function(mirabo_decoder_library target header)
  cmake_parse_arguments(L "" "" "CODEC" ${ARGN})
  mirabo_imported(${target} ${header} ${L_UNPARSED_ARGUMENTS})
  string(MAKE_C_IDENTIFIER "${target}" id)
  if(TARGET ${target} AND ${id}_LIBRARY MATCHES "\\.a$")
    mirabo_imported(${L_CODEC})
    list(GET L_CODEC 0 codec)
    if(TARGET ${codec})
      set_property(TARGET ${target} APPEND PROPERTY INTERFACE_LINK_LIBRARIES ${codec})
    endif()
  endif()
  if(NOT TARGET ${target})
    message(WARNING "${header} was not found: no plug-in for its format")
  endif()
endfunction()
mirabo_decoder_library(HEIF::heif libheif/heif.h heif libheif CODEC HEIF::de265 libde265/de265.h de265 libde265)
mirabo_decoder_library(AVIF::avif avif/avif.h avif libavif CODEC AVIF::dav1d dav1d/dav1d.h dav1d libdav1d)
if(TARGET HEIF::de265)
  # The static libheif's header must not import from a DLL.
  set_property(TARGET HEIF::heif APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS LIBHEIF_STATIC_BUILD)
endif()

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
