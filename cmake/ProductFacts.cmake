# The product's facts, each written here once. The launcher's code and the stand-in payload's
# programs read them from the generated product_facts.h, the resource script includes that header,
# the manifest is generated from resources/launcher.manifest.in, and the stand-in packages get them
# as wixl variables. Included before project() so that the project's version is the product's.

# The product version "<major>.<minor>.<micro>_<update>-<build>".
set(MAKO_VERSION_MAJOR 3)
set(MAKO_VERSION_MINOR 1)
set(MAKO_VERSION_MICRO 0)
set(MAKO_VERSION_UPDATE 27)
set(MAKO_VERSION_BUILD b09)
# Derived spellings: "3.1.0_27" names registry keys, folders and packages; "3.1.0.27" is the
# installer's and the manifest's four-number form; "310270" tags the archives.
set(MAKO_VERSION "${MAKO_VERSION_MAJOR}.${MAKO_VERSION_MINOR}.${MAKO_VERSION_MICRO}_${MAKO_VERSION_UPDATE}")
set(MAKO_FULL_VERSION "${MAKO_VERSION}-${MAKO_VERSION_BUILD}")
set(MAKO_VERSION_DOTTED "${MAKO_VERSION_MAJOR}.${MAKO_VERSION_MINOR}.${MAKO_VERSION_MICRO}.${MAKO_VERSION_UPDATE}")
set(MAKO_ARCHIVE_TAG "${MAKO_VERSION_MAJOR}${MAKO_VERSION_MINOR}${MAKO_VERSION_MICRO}${MAKO_VERSION_UPDATE}0")
# The kit package's ProductVersion is the four-number form, "3.1.0.27": the build ("b09") is no part of
# it. The installer compares only the first three numbers; each update has its own product code below.
set(MAKO_KIT_PACKAGE_VERSION "${MAKO_VERSION_DOTTED}")

# The development kit's product code of this version for 32 and 64 bits:
# "{<bits>61C2D8-E3A5-11D6-B94C-00C0A92<minor>0<update>0}".
foreach(bits 32 64)
  set(MAKO_KIT_PRODUCT_CODE_${bits}
    "{${bits}61C2D8-E3A5-11D6-B94C-00C0A92${MAKO_VERSION_MINOR}0${MAKO_VERSION_UPDATE}0}")
endforeach()

# The update agent the launcher carries, and the product code every agent release shares.
set(MAKO_AGENT_VERSION 2.3.27.9)
set(MAKO_AGENT_PRODUCT_CODE "{5C17A2B3-0D4E-4F61-8A29-3B6E1C7D9F04}")

# The named event the launcher sets once every archive is written; the kit's package waits on it.
set(MAKO_CAB_EXTRACT_EVENT_NAME HaldenForgeCabExtractWaitEvent)

# product_facts_generate(): writes <build>/generated/product_facts.h and launcher.manifest and puts
# that folder on every target's include path (after project()).
function(product_facts_generate)
  set(dir ${PROJECT_BINARY_DIR}/generated)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/product_facts.h.in ${dir}/product_facts.h @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/resources/launcher.manifest.in ${dir}/launcher.manifest @ONLY)
  include_directories(${dir})
endfunction()
