# Windows targets: Unicode throughout, and with MinGW a fully static executable
# that needs nothing but the system's DLLs.
add_library(mirabo_win_options INTERFACE)
target_compile_definitions(mirabo_win_options INTERFACE
  UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
target_link_libraries(mirabo_win_options INTERFACE mirabo_options)
if(MINGW)
  # -municode (the wWinMain entry) is the executable's alone: test programs
  # start at main.
  target_link_options(mirabo_win_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()
