# `make package` (cpack -G DEB): one Debian package with both programs, the gateway simulator and
# everything installed beside them; its library dependencies are worked out by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brivantel)
set(CPACK_PACKAGE_VENDOR "Orvella Systems")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Orvella Systems <support@brivantel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "write and send SMS through web gateways or a GSM phone")
set(CPACK_PACKAGE_DESCRIPTION
    "Brivantel writes short text messages (up to 160 characters) and sends\n"
    "them to mobile phones on the Polish networks, through the operators' web\n"
    "forms over HTTP or through a GSM phone or modem on a serial port. It keeps\n"
    "the messages in folders, has an address book that imports and exports\n"
    "vCard files, and can announce new mail in a POP3 mailbox by an SMS.\n"
    "The package holds the desktop program, the command-line tool\n"
    "brivantel-cli and the gateway simulator brivantel-gateway-sim.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own Polish texts ("Tak", "Nie", "Anuluj") are read from Qt's translation directory.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
