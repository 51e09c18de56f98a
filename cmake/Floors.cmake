# One library per folder. mirabo_floor(NAME
#   PORTABLE sources...        built everywhere (no windows.h)
#   WINDOWS sources...         built for Windows only
#   LINKS libraries...         what the portable sources include
#   WINDOWS_LINKS libraries... what the Windows sources include besides)
# A folder with no sources for the platform is an interface library, so
# its headers can still be named.
function(mirabo_floor name)
  cmake_parse_arguments(F "" "" "PORTABLE;WINDOWS;LINKS;WINDOWS_LINKS" ${ARGN})
  set(sources ${F_PORTABLE})
  if(WIN32)
    list(APPEND sources ${F_WINDOWS})
  endif()
  if(sources)
    add_library(${name} STATIC ${sources})
    set(scope PUBLIC)
  else()
    add_library(${name} INTERFACE)
    set(scope INTERFACE)
  endif()
  target_include_directories(${name} ${scope} ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} ${scope} mirabo_options ${F_LINKS})
  if(WIN32)
    target_link_libraries(${name} ${scope} mirabo_win_options ${F_WINDOWS_LINKS})
  endif()
endfunction()
