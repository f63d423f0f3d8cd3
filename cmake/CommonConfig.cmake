# Compile settings shared by every target of the project.
add_library(veltrano_common_config INTERFACE)
target_compile_options(veltrano_common_config INTERFACE -Wall -Wextra)
if(VELTRANO_WERROR)
  target_compile_options(veltrano_common_config INTERFACE -Werror)
endif()
if(VELTRANO_SANITIZE)
  # Undefined behaviour ends the program, so that a test that meets it fails.
  target_compile_options(veltrano_common_config INTERFACE -fsanitize=address,undefined
    -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(veltrano_common_config INTERFACE -fsanitize=address,undefined
    -fno-sanitize-recover=all)
endif()
if(VELTRANO_SANITIZE_THREAD)
  # Data races between the threads of conversions that run side by side.
  target_compile_options(veltrano_common_config INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(veltrano_common_config INTERFACE -fsanitize=thread)
endif()
if(VELTRANO_SANITIZE OR VELTRANO_SANITIZE_THREAD)
  # The sanitizers find at -O1 what they find at -O2, and their reports need
  # only function names and lines: a third of the compile time at -O2 -g. The
  # conversions' own work runs in the media libraries, which are not rebuilt.
  target_compile_options(veltrano_common_config INTERFACE -O1 -g1)
elseif(VELTRANO_LINE_DEBUG_INFO)
  # Backtraces keep their files and lines; variables and types are left out.
  target_compile_options(veltrano_common_config INTERFACE -g1)
endif()
target_compile_definitions(veltrano_common_config INTERFACE
  VELTRANO_VERSION="${PROJECT_VERSION}")
