# The same commit builds to byte-identical executables and payload wherever and whenever it is built:
# no build folder in the code, and one date for every stamp (PE headers, cabinet entries, package
# summaries): SOURCE_DATE_EPOCH when the caller sets it, else the commit's.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(LAUNCHER_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE LAUNCHER_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  # A new commit moves the date: configure again when the checkout's HEAD moves.
  execute_process(COMMAND git rev-parse --git-path logs/HEAD WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE head_log OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(head_log)
    get_filename_component(head_log ${head_log} ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
    if(EXISTS ${head_log})
      set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${head_log})
    endif()
  endif()
endif()
if(NOT LAUNCHER_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(STATUS "Not a git checkout and no SOURCE_DATE_EPOCH: build stamps use 0 (1970-01-01)")
  set(LAUNCHER_SOURCE_DATE_EPOCH 0)
endif()

add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/= -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
# launcher_date_linked_images(): the images linked in the calling folder (the launchers and their
# payload) carry the build's date. GNU ld stamps PE images with SOURCE_DATE_EPOCH when it is set, with
# the time of linking otherwise. Test programs keep the default and need not relink on a new commit.
macro(launcher_date_linked_images)
  foreach(lang C CXX)
    set(CMAKE_${lang}_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${LAUNCHER_SOURCE_DATE_EPOCH})
  endforeach()
endmacro()
