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

# The version for the resource scripts and the manifest.
configure_file(${PROJECT_SOURCE_DIR}/base/res/mirabo_version.h.in ${PROJECT_BINARY_DIR}/generated/mirabo_version.h @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/app/res/mirabo.manifest.in ${PROJECT_BINARY_DIR}/generated/mirabo.manifest @ONLY)
if(MINGW)
  # Reproducible executables: no link time in the header, and no build
  # folder in the strings assertions keep.
  target_link_options(mirabo_win_options INTERFACE -Wl,--no-insert-timestamp)
  # Windows 7 (6.1) is the oldest system the programs run on: the job
  # objects, the common controls and the shell calls they use are there.
  target_link_options(mirabo_win_options INTERFACE
    -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,1
    -Wl,--major-os-version,6 -Wl,--minor-os-version,1)
  target_compile_options(mirabo_win_options INTERFACE $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>)
endif()
