# cmake -DREADELF=<readelf> -DBINARY=<file> -P CheckHardening.cmake
# Fails unless the ELF file has a read-only relocation segment, binds every
# symbol at load time, calls the stack-protector check (so its functions
# carry canaries) and is position independent.
execute_process(COMMAND ${READELF} -W --file-header --program-headers --dynamic --dyn-syms
                        ${BINARY}
                OUTPUT_VARIABLE elf RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${READELF} cannot read ${BINARY}")
endif()

set(missing)
if(NOT elf MATCHES "GNU_RELRO")
  list(APPEND missing "RELRO segment (-z relro)")
endif()
# -z now sets BIND_NOW in FLAGS and NOW in FLAGS_1; either makes the loader
# resolve everything before the relocation table is made read-only.
if(NOT elf MATCHES "\\(FLAGS\\)[ \t]+[^\n]*BIND_NOW" AND NOT elf MATCHES "\\(FLAGS_1\\)[^\n]*NOW")
  list(APPEND missing "BIND_NOW (-z now)")
endif()
if(NOT elf MATCHES "__stack_chk_fail")
  list(APPEND missing "stack canaries (-fstack-protector-strong)")
endif()
# A position-independent executable or a shared library is of type DYN.
if(NOT elf MATCHES "Type:[ \t]+DYN")
  list(APPEND missing "position independence (-fPIE -pie / -fPIC)")
endif()

if(missing)
  list(JOIN missing ", " text)
  message(FATAL_ERROR "${BINARY} lacks: ${text}")
endif()
message(STATUS "${BINARY}: RELRO, BIND_NOW, canaries, position independent")
