# make install: the kvado binary, its desktop entry, its icon in the hicolor
# theme at several sizes and its AppStream metainfo. DESTDIR is honoured
# (make install DESTDIR=/tmp/x needs no root); the prefix is CMAKE_INSTALL_PREFIX.
include(GNUInstallDirs)

set(KVADO_APP_ID si.zorvek.Kvado)
set(KVADO_DESKTOP_DIR ${CMAKE_SOURCE_DIR}/resources/desktop)

if(TARGET kvado)
  install(TARGETS kvado RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${KVADO_DESKTOP_DIR}/${KVADO_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KVADO_DESKTOP_DIR}/${KVADO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
file(GLOB kvado_icon_sizes LIST_DIRECTORIES true RELATIVE ${KVADO_DESKTOP_DIR}/icons ${KVADO_DESKTOP_DIR}/icons/*)
foreach(size IN LISTS kvado_icon_sizes)
  install(FILES ${KVADO_DESKTOP_DIR}/icons/${size}/${KVADO_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# The installed entry and metainfo pass their validators (ctest -L install).
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
find_program(APPSTREAMCLI appstreamcli)
if(DESKTOP_FILE_VALIDATE)
  add_test(NAME install_desktop_entry COMMAND ${DESKTOP_FILE_VALIDATE} ${KVADO_DESKTOP_DIR}/${KVADO_APP_ID}.desktop)
  set_tests_properties(install_desktop_entry PROPERTIES LABELS install)
endif()
if(APPSTREAMCLI)
  add_test(NAME install_metainfo COMMAND ${APPSTREAMCLI} validate --no-net
                                         ${KVADO_DESKTOP_DIR}/${KVADO_APP_ID}.metainfo.xml)
  set_tests_properties(install_metainfo PROPERTIES LABELS install)
endif()
