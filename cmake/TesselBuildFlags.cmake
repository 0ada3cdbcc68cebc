# Warnings, sanitizers and the hardening of release builds, for every target.

add_compile_options(-Wall -Wextra)
# CI's builds (scripts/test.sh) turn warnings into errors; a developer's
# build only shows them.
if(TESSEL_WERROR)
  add_compile_options(-Werror)
endif()

if(TESSEL_SANITIZE AND TESSEL_TSAN)
  message(FATAL_ERROR "TESSEL_SANITIZE and TESSEL_TSAN cannot be combined")
endif()
if(TESSEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(TESSEL_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Position-independent code everywhere: shared libraries are PIC, and
# executables are linked as PIE (-pie, by policy CMP0083 once the toolchain
# is known to support it).
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported(OUTPUT_VARIABLE pie_output LANGUAGES C CXX)
if(NOT CMAKE_CXX_LINK_PIE_SUPPORTED)
  message(WARNING "The toolchain cannot link PIE executables: ${pie_output}")
endif()

# Release builds (RelWithDebInfo, the default preset, Release and
# MinSizeRel) carry stack canaries, checked libc calls where sizes are known
# (_FORTIFY_SOURCE needs optimisation) and a read-only relocation table
# resolved at load time. Sanitizer and fuzzing builds do without: the
# sanitizers replace the same checks and do not mix with the checked libc calls.
if(NOT TESSEL_SANITIZE AND NOT TESSEL_TSAN AND NOT TESSEL_FUZZ)
  set(release "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
  add_compile_options("$<${release}:-fstack-protector-strong>"
                      "$<${release}:-U_FORTIFY_SOURCE>" "$<${release}:-D_FORTIFY_SOURCE=2>")
  add_link_options("$<${release}:LINKER:-z,relro,-z,now>")
  set(TESSEL_HARDENED_CONFIGS Release RelWithDebInfo MinSizeRel)
endif()
