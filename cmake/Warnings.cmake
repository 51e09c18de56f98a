# Project-wide compile options; third-party code added later is not affected
# because the options are attached to our targets through this interface.
add_library(mirabo_options INTERFACE)
if(MSVC)
  target_compile_options(mirabo_options INTERFACE /W4 /utf-8 /permissive-)
else()
  target_compile_options(mirabo_options INTERFACE -Wall -Wextra -Wpedantic
    -Wno-missing-field-initializers -finput-charset=UTF-8)
endif()
if(NOT WIN32 AND MIRABO_SANITIZE AND NOT MSVC)
  target_compile_options(mirabo_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(mirabo_options INTERFACE -fsanitize=address,undefined)
endif()
if(MIRABO_FUZZ)
  # Coverage for the fuzzer in every library the targets link.
  target_compile_options(mirabo_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
