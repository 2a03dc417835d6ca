# Builds the demo library from the drawings our own code draws:
#
#   cmake -DGENERATOR=<tessaly-demo-drawings> -DPACK=<tessaly-pack> -DWORK=<folder>
#         -DPROGRAM=<program folder> [-DINSTALLED=0;3;9] [-DSERVER=<folder>]
#         [-DSIGN=<secret key>] -P DemoLibrary.cmake
#
# WORK (emptied first) receives the drawings; PROGRAM/Blocos the package
# descriptions and the INSTALLED categories that are not there yet; SERVER,
# when given, blocos/<n>.zip for all 14 categories, as a package server holds them,
# with the signed list blocos/indice.txt when SIGN names the publisher's secret key.
foreach(variable GENERATOR PACK WORK PROGRAM)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "DemoLibrary.cmake: ${variable} is not set")
  endif()
endforeach()
if(NOT DEFINED INSTALLED)
  set(INSTALLED 0 3 9)
endif()

file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${GENERATOR} ${WORK}/drawings OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(GLOB descriptions ${WORK}/drawings/*.txt)
file(COPY ${descriptions} DESTINATION ${PROGRAM}/Blocos)
foreach(n ${INSTALLED})
  if(NOT IS_DIRECTORY ${PROGRAM}/Blocos/${n})
    execute_process(COMMAND ${PACK} --install ${PROGRAM} ${n} ${WORK}/drawings/${n}
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
if(DEFINED SERVER)
  set(signing)
  if(DEFINED SIGN)
    set(signing --sign ${SIGN})
  endif()
  foreach(n RANGE 13)
    execute_process(COMMAND ${PACK} ${signing} --output ${SERVER}/blocos ${n} ${WORK}/drawings/${n}
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
endif()
