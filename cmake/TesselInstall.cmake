# Where an install puts what is not a program. The programs land in bin/;
# liborlak is theirs alone, so it lands in a folder of its own, outside the
# linker's search path, and the programs find it through their RUNPATH,
# relative to themselves so that any prefix works.
set(TESSEL_PRIVATE_LIB_DIR lib/tessel CACHE STRING "Where liborlak is installed")
set(TESSEL_SYSTEMD_UNIT_DIR lib/systemd/system CACHE STRING "Where the units are installed")
set(TESSEL_LOGROTATE_DIR etc/logrotate.d CACHE STRING "Where the logrotate snippet is installed")

file(RELATIVE_PATH tessel_bin_to_lib "/prefix/bin" "/prefix/${TESSEL_PRIVATE_LIB_DIR}")
if(tessel_bin_to_lib STREQUAL "")
  set(TESSEL_INSTALL_RPATH "$ORIGIN")
else()
  set(TESSEL_INSTALL_RPATH "$ORIGIN/${tessel_bin_to_lib}")
endif()
