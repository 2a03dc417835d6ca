# Runs makensis on the staged folder, with its size for "Aplicativos instalados",
# then writes the winget manifest of the installer it made.
file(GLOB_RECURSE files ${STAGE}/*)
set(bytes 0)
foreach(file ${files})
  file(SIZE ${file} size)
  math(EXPR bytes "${bytes} + ${size}")
endforeach()
math(EXPR kilobytes "(${bytes} + 1023) / 1024")
execute_process(COMMAND ${MAKENSIS} -V2 -DVERSION=${VERSION} -DSTAGE=${STAGE} -DICON=${ICON}
                        -DOUTPUT=${OUTPUT} -DSIZE_KB=${kilobytes} "-DPRODUCT=${PRODUCT}"
                        "-DPUBLISHER=${PUBLISHER}" ${SCRIPT}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "makensis failed")
endif()
set(INSTALLER ${OUTPUT})
include(${WINGET}/WriteManifest.cmake)
