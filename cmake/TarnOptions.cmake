# tarn_options: the compile and link settings every target of the project links against.
# Kept on one interface target instead of global flags, so third-party code (GoogleTest)
# is built with its own settings.
add_library(tarn_options INTERFACE)
target_compile_features(tarn_options INTERFACE cxx_std_20)
target_compile_options(tarn_options INTERFACE -Wall -Wextra -Wno-missing-field-initializers)

if(TARN_SANITIZE)
  target_compile_options(tarn_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(tarn_options INTERFACE -fsanitize=address,undefined)
endif()

# The fuzz build (clang): every library the fuzzers reach gives libFuzzer its coverage feedback
# and runs under the sanitizers; an undefined-behaviour report ends the run like a crash. The
# programs link the sanitizer runtimes as well, so the whole preset builds.
if(TARN_BUILD_FUZZ)
  target_compile_options(tarn_options INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined)
  target_link_options(tarn_options INTERFACE -fsanitize=address,undefined)
endif()

if(WIN32)
  # Windows 8.1 is the oldest system the launcher supports.
  target_compile_definitions(tarn_options INTERFACE
    UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0603 WINVER=0x0603)
  # One self-contained .exe: no libstdc++, libgcc or winpthread DLLs beside it.
  target_link_options(tarn_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()

# tarn_platform_sources(<target> <portable sources>... POSIX <files>... WIN <files>...)
# adds the portable sources and the ones of the platform being built; platform code
# lives in *_posix.cpp / *_win.cpp files picked here, not behind #ifdef in shared files.
function(tarn_platform_sources target)
  cmake_parse_arguments(ARG "" "" "POSIX;WIN" ${ARGN})
  target_sources(${target} PRIVATE ${ARG_UNPARSED_ARGUMENTS})
  if(WIN32)
    target_sources(${target} PRIVATE ${ARG_WIN})
  else()
    target_sources(${target} PRIVATE ${ARG_POSIX})
  endif()
endfunction()
