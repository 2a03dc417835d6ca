# What a Windows program carries inside its .exe: the icon, the version
# information Explorer shows (in Portuguese) and the manifest that declares
# Windows 10/11, per-monitor DPI awareness, long paths and UTF-8.
set(TESSALY_WINDOWS_RESOURCES ${CMAKE_CURRENT_LIST_DIR})

function(tessaly_windows_resources target description)
  if(NOT WIN32)
    return()
  endif()
  set(icon ${CMAKE_BINARY_DIR}/dist/tessaly.ico)
  if(NOT TARGET tessaly-icon)
    find_program(TESSALY_ICON_PYTHON3 NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
    add_custom_command(OUTPUT ${icon}
      COMMAND ${TESSALY_ICON_PYTHON3} ${TESSALY_WINDOWS_RESOURCES}/make_icon.py
              ${CMAKE_SOURCE_DIR}/dist/tessaly.png ${icon}
      DEPENDS ${CMAKE_SOURCE_DIR}/dist/tessaly.png ${TESSALY_WINDOWS_RESOURCES}/make_icon.py
      COMMENT "Making the Windows icon")
    add_custom_target(tessaly-icon DEPENDS ${icon})
  endif()
  set(TESSALY_RC_DESCRIPTION "${description}")
  set(TESSALY_RC_FILE_NAME "${target}.exe")
  set(TESSALY_RC_ICON "${icon}")
  set(TESSALY_RC_MANIFEST "${TESSALY_WINDOWS_RESOURCES}/tessaly.manifest")
  string(REPLACE "." "," TESSALY_RC_VERSION_COMMAS "${PROJECT_VERSION}.0")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${TESSALY_WINDOWS_RESOURCES}/program.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS
                              "${icon};${TESSALY_WINDOWS_RESOURCES}/tessaly.manifest")
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} tessaly-icon)
endfunction()
