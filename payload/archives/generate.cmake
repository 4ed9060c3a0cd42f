# Writes the files that go into the four stand-in cabinets, one folder per cabinet, each file named
# by its cabinet entry name (for st310270.cab: the package's File Ids). Deterministic content, so
# rebuilds give identical archives.
# Usage: cmake -DSTAGE_DIR=<dir> -DTAG=<archive tag> -DFULL_VERSION=<product version> -P generate.cmake
if(NOT STAGE_DIR OR NOT TAG OR NOT FULL_VERSION)
  message(FATAL_ERROR "STAGE_DIR, TAG and FULL_VERSION are required")
endif()

function(write_filler path label size)
  set(line "${label}: Mako ${FULL_VERSION} stand-in archive content 0123456789abcdefghijklmnopqrstuvwxyz\n")
  string(LENGTH "${line}" line_length)
  math(EXPR count "(${size} + ${line_length} - 1) / ${line_length}")
  string(REPEAT "${line}" ${count} text)
  file(WRITE "${path}" "${text}")
endfunction()

# The files the package installs (with loom.exe, which the build adds).
write_filler(${STAGE_DIR}/st${TAG}/st_tools.dat "tools" 20000)
write_filler(${STAGE_DIR}/st${TAG}/st_src.dat "sources" 60000)
write_filler(${STAGE_DIR}/st${TAG}/st_forge.dat "forge" 12000)
file(WRITE ${STAGE_DIR}/st${TAG}/st_readme.txt "Mako Development Kit ${FULL_VERSION} (stand-in payload).\n")
# The carried archives; the last one stays small, as in the product.
write_filler(${STAGE_DIR}/ss${TAG}/ss_data.dat "ss" 30000)
write_filler(${STAGE_DIR}/sj${TAG}/sj_data.dat "sj" 18000)
file(WRITE ${STAGE_DIR}/sz${TAG}/sz_data.txt "sz: Mako ${FULL_VERSION} stand-in archive.\n")
