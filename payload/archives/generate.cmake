# Writes the files that go into the four stand-in cabinets, one folder per cabinet, each file named
# by its cabinet entry name (for st310270.cab: the package's File Ids). Deterministic content, so
# rebuilds give identical archives.
# Usage: cmake -DSTAGE_DIR=<dir> -P generate.cmake
if(NOT STAGE_DIR)
  message(FATAL_ERROR "STAGE_DIR is required")
endif()

function(write_filler path label size)
  set(line "${label}: Mako 3.1.0_27-b09 stand-in archive content 0123456789abcdefghijklmnopqrstuvwxyz\n")
  string(LENGTH "${line}" line_length)
  math(EXPR count "(${size} + ${line_length} - 1) / ${line_length}")
  string(REPEAT "${line}" ${count} text)
  file(WRITE "${path}" "${text}")
endfunction()

# The files the package installs (with loom.exe, which the build adds).
write_filler(${STAGE_DIR}/st310270/st_tools.dat "tools" 20000)
write_filler(${STAGE_DIR}/st310270/st_src.dat "sources" 60000)
write_filler(${STAGE_DIR}/st310270/st_forge.dat "forge" 12000)
file(WRITE ${STAGE_DIR}/st310270/st_readme.txt "Mako Development Kit 3.1.0_27-b09 (stand-in payload).\n")
# The carried archives; the last one stays small, as in the product.
write_filler(${STAGE_DIR}/ss310270/ss_data.dat "ss" 30000)
write_filler(${STAGE_DIR}/sj310270/sj_data.dat "sj" 18000)
file(WRITE ${STAGE_DIR}/sz310270/sz_data.txt "sz: Mako 3.1.0_27-b09 stand-in archive.\n")
