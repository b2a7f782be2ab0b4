# `cpack -G DEB` in the build folder makes plauderdeck_<version>_<arch>.deb from the install
# rules. Its library dependencies are read from the binary by dpkg-shlibdeps (package dpkg-dev);
# what the binary loads only at run time is named here.
set(CPACK_PACKAGE_NAME plauderdeck)
set(CPACK_PACKAGE_VENDOR "Fernwald Softwerkbau")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Chat für das lokale Netz")
# Debian shows the description as it stands: every line stays under 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Plauderdeck ist ein Chatprogramm für das lokale Netz, ohne Server: jede Zeile
geht über eine eigene kurze TCP-Verbindung an Port 6711 jedes angehakten
Empfängers, und jede laufende Kopie zeigt ankommende Zeilen in der Farbe des
Absenders. Das Aussehen der Fenster lässt sich mit Skins ändern.")
# The maintainer needs an address, or Debian's tools cannot tell whom to write.
set(PD_PACKAGE_MAINTAINER "Fernwald Softwerkbau <info@fernwald.example.org>" CACHE STRING
    "The package's maintainer: name <address>")
set(CPACK_PACKAGE_CONTACT "${PD_PACKAGE_MAINTAINER}")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window-system plugins, the fonts and the toolkit's German texts are loaded at run time, so
# no library names them: without them the window cannot open, has no text, or its standard
# menus and dialogs speak English.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-core, qt6-translations-l10n")
# The copies find each other through Avahi, and a copy's name.local resolves with nss-mdns. The
# chat works without them (receivers are then typed in), so they are only recommended.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "avahi-daemon, libnss-mdns")

# The firewall profile in /etc is the administrator's to change: dpkg keeps their changes.
file(WRITE ${PROJECT_BINARY_DIR}/debian/conffiles "/etc/ufw/applications.d/plauderdeck\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/conffiles)

include(CPack)
