# Writes the winget manifest of an installer just made: its version, the
# SHA-256 of its bytes and its address on the publisher's site, with the
# names the installer itself registers. Takes INSTALLER, VERSION, PRODUCT,
# PUBLISHER, DOWNLOAD_URL and MANIFEST_DIR (the folder to write, emptied).
set(PACKAGE_ID TessalySoftware.Tessaly)
file(SHA256 ${INSTALLER} SHA256)
string(TOUPPER ${SHA256} SHA256)
get_filename_component(INSTALLER_NAME ${INSTALLER} NAME)
file(REMOVE_RECURSE ${MANIFEST_DIR})
foreach(kind version installer locale.pt-BR locale.en-US)
  if(kind STREQUAL version)
    set(name ${PACKAGE_ID}.yaml)
  else()
    set(name ${PACKAGE_ID}.${kind}.yaml)
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${kind}.yaml.in ${MANIFEST_DIR}/${name} @ONLY)
endforeach()
