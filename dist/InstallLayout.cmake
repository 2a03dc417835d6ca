# Where `cmake --install` puts things. By default one program folder that runs
# from wherever it is copied (everything the program reads lies beside its
# executable, and it writes its library there). With TESSALY_SYSTEM_INSTALL
# the layout of a system package: the program in bin/, its own read-only
# files in share/tessaly/, desktop integration where the desktop looks for
# it; the program then keeps its library in the user's data folder.
option(TESSALY_SYSTEM_INSTALL "Install as a system package (bin/, share/) instead of one folder" OFF)
if(TESSALY_SYSTEM_INSTALL)
  include(GNUInstallDirs)
  set(TESSALY_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
  set(TESSALY_INSTALL_FILESDIR ${CMAKE_INSTALL_DATADIR}/tessaly)
  set(TESSALY_INSTALL_FULL_FILESDIR ${CMAKE_INSTALL_FULL_DATADIR}/tessaly)
else()
  set(TESSALY_INSTALL_BINDIR .)
  set(TESSALY_INSTALL_FILESDIR .)
endif()
