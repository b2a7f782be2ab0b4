# Installs the build into a staging root (DESTDIR) under a prefix other than /usr and checks
# what lands there: the program, which answers --version without a display, the menu entry,
# the icon and the AppStream metadata (validated where the validators are installed), the manual
# page, the copyright and the changelog, the firewalld service, and the ufw profile in /etc.
# Anything else installed outside the skins folder is reported, so nothing lands unnoticed.
#   cmake -DBUILD_DIR=... -DSTAGE=... -DVERSION=... -P CheckInstall.cmake
set(prefix /opt/plauderdeck)
file(REMOVE_RECURSE ${STAGE})
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${STAGE}
                        ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
                OUTPUT_QUIET RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cmake --install failed")
endif()

set(root ${STAGE}${prefix})
set(expected
    bin/plauderdeck
    lib/firewalld/services/plauderdeck.xml
    share/applications/de.fernwald.Plauderdeck.desktop
    share/doc/plauderdeck/changelog.gz
    share/doc/plauderdeck/copyright
    share/icons/hicolor/scalable/apps/de.fernwald.Plauderdeck.svg
    share/man/man1/plauderdeck.1.gz
    share/metainfo/de.fernwald.Plauderdeck.metainfo.xml)
file(GLOB_RECURSE installed RELATIVE ${root} ${root}/*)
list(FILTER installed EXCLUDE REGEX "^share/plauderdeck/Skins/")
list(SORT installed)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "installed:\n  ${installed}\nexpected:\n  ${expected}")
endif()
file(GLOB_RECURSE outside RELATIVE ${STAGE} ${STAGE}/*)
list(FILTER outside EXCLUDE REGEX "^opt/")
if(NOT outside STREQUAL "etc/ufw/applications.d/plauderdeck")
  message(FATAL_ERROR "installed outside the prefix: ${outside}")
endif()

execute_process(COMMAND ${root}/bin/plauderdeck --version OUTPUT_VARIABLE answer RESULT_VARIABLE failed)
if(failed OR NOT answer STREQUAL "Plauderdeck ${VERSION}\n")
  message(FATAL_ERROR "plauderdeck --version answered '${answer}' (${failed})")
endif()

find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(DESKTOP_FILE_VALIDATE)
  execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} ${root}/share/applications/de.fernwald.Plauderdeck.desktop
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "desktop-file-validate failed")
  endif()
else()
  message(STATUS "desktop-file-validate not installed: the menu entry is not validated")
endif()
find_program(APPSTREAMCLI appstreamcli)
if(APPSTREAMCLI)
  execute_process(COMMAND ${APPSTREAMCLI} validate --no-net --no-color
                          ${root}/share/metainfo/de.fernwald.Plauderdeck.metainfo.xml
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "appstreamcli validate failed")
  endif()
else()
  message(STATUS "appstreamcli not installed: the metainfo is not validated")
endif()
