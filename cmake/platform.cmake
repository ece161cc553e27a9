# The one place where the platform is chosen. Each platform keeps its own files in a folder of
# its name (src/platform/posix/, src/platform/windows/, src/console/backends/windows/,
# tests/platform/windows/, ...), with the same file names on both sides; everything outside such
# a folder is built on both.

if(WIN32)
  set(kaleidron_platform windows)
  set(kaleidron_other_platform posix)
else()
  set(kaleidron_platform posix)
  set(kaleidron_other_platform windows)
endif()

# The files matching the patterns, less those in a folder of the other platform.
function(kaleidron_platform_sources out)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${ARGN})
  list(FILTER sources EXCLUDE REGEX "/${kaleidron_other_platform}/")
  set(${out} ${sources} PARENT_SCOPE)
endfunction()
