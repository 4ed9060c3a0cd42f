# The payload folder a launcher is built around: the kit's package, the four archives and the update
# agent's package of one architecture, under the names the launcher writes them. A release names its
# own folder; without one the build assembles the stand-ins into such a folder (payload/).
set(LAUNCHER_PAYLOAD_DIR "$ENV{LAUNCHER_PAYLOAD_DIR}" CACHE PATH
  "folder with the release's packages and archives (empty: the stand-in payload)")

# The launcher's payload resources as "<id>|<type>|<name>": the kit's package, the archives in the
# launcher's write order, the agent's package.
set(LAUNCHER_PAYLOAD_ENTRIES
  "101|MAKO_INSTALLER|forge${MAKO_VERSION}.msi"
  "110|MAKO_CAB9|ss${MAKO_ARCHIVE_TAG}.cab"
  "111|MAKO_CAB10|st${MAKO_ARCHIVE_TAG}.cab"
  "108|MAKO_CAB7|sj${MAKO_ARCHIVE_TAG}.cab"
  "112|MAKO_CAB11|sz${MAKO_ARCHIVE_TAG}.cab"
  "105|MAKO_INSTALLER|au.msi")
set(LAUNCHER_PAYLOAD_ARCHIVE_NAMES ss${MAKO_ARCHIVE_TAG}.cab st${MAKO_ARCHIVE_TAG}.cab
  sj${MAKO_ARCHIVE_TAG}.cab sz${MAKO_ARCHIVE_TAG}.cab)

# launcher_payload_check_command(<var> <folder> <bits>): the command that checks <folder> against the
# product facts of a <bits>-bit launcher; it prints one line and fails at the first problem.
function(launcher_payload_check_command var folder bits)
  set(${var} python3 ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/check_payload.py ${folder}
    --kit forge${MAKO_VERSION}.msi ${MAKO_KIT_PRODUCT_CODE_${bits}} ${MAKO_KIT_PACKAGE_VERSION}
    --agent au.msi ${MAKO_AGENT_PRODUCT_CODE} ${MAKO_AGENT_VERSION}
    --archives ${LAUNCHER_PAYLOAD_ARCHIVE_NAMES} PARENT_SCOPE)
endfunction()

# launcher_check_payload_folder(<folder> <bits>): the same check at configure time, for a folder that
# exists then (a release's); a changed file in it configures again.
function(launcher_check_payload_folder folder bits)
  launcher_payload_check_command(check ${folder} ${bits})
  execute_process(COMMAND ${check} RESULT_VARIABLE status OUTPUT_VARIABLE line ERROR_VARIABLE line
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_STRIP_TRAILING_WHITESPACE)
  if(NOT status EQUAL 0)
    # The leading blank keeps CMake from wrapping the line.
    message(FATAL_ERROR " ${line}")
  endif()
  foreach(entry IN LISTS LAUNCHER_PAYLOAD_ENTRIES)
    string(REGEX REPLACE "^.*\\|" "" name "${entry}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${folder}/${name})
  endforeach()
endfunction()
