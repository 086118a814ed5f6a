# Installation as a Linux desktop expects it, and a Debian package of it (cpack -G DEB).
include(GNUInstallDirs)

set(TORVAN_APP_ID org.torvan.TorvanReader)
# The package's maintainer. The project has no domain of its own yet, hence the reserved one.
set(TORVAN_MAINTAINER "TorvanReader developers <maintainers@torvanreader.invalid>")

install(TARGETS torvanreader torvanreader-cli torvanreader-demo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES res/desktop/${TORVAN_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# AppStream wants every screenshot as a web address: they are listed once the place where the
# demo's screenshots (torvanreader-demo --screenshot) are published is given.
set(TORVAN_SCREENSHOT_URL "" CACHE STRING "Web folder holding main-window.png and tool-status.png")
set(TORVAN_SCREENSHOTS_XML "")
if(TORVAN_SCREENSHOT_URL)
    string(CONCAT TORVAN_SCREENSHOTS_XML
        "  <screenshots>\n"
        "    <screenshot type=\"default\">\n"
        "      <caption>The main window with the extender connected</caption>\n"
        "      <image>${TORVAN_SCREENSHOT_URL}/main-window.png</image>\n"
        "    </screenshot>\n"
        "    <screenshot>\n"
        "      <caption>The Status page with the link state and the error level of each wire pair</caption>\n"
        "      <image>${TORVAN_SCREENSHOT_URL}/tool-status.png</image>\n"
        "    </screenshot>\n"
        "  </screenshots>\n")
endif()
# The modalias that lets software centres offer the package for a plugged-in extender; the kernel
# writes its IDs in capitals.
string(TOUPPER "${TORVAN_USB_VENDOR_ID}" vendor)
string(TOUPPER "${TORVAN_USB_PRODUCT_ID}" product)
set(TORVAN_USB_MODALIAS "usb:v${vendor}p${product}*")
configure_file(res/desktop/${TORVAN_APP_ID}.metainfo.xml.in ${CMAKE_CURRENT_BINARY_DIR}/${TORVAN_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${TORVAN_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES res/icon.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${TORVAN_APP_ID}.svg)
install(FILES res/icon.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
        RENAME ${TORVAN_APP_ID}.png)
install(FILES res/icon@2x.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps
        RENAME ${TORVAN_APP_ID}.png)
# udev reads /usr/lib/udev/rules.d as well as /lib/udev/rules.d.
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/70-torvanreader.rules DESTINATION lib/udev/rules.d)
# The metrics' service and timer, disabled until the administrator enables the timer; the udev rule
# that the service needs is an example to install by hand (Documentation.cmake).
install(FILES res/systemd/torvanreader-metrics.service res/systemd/torvanreader-metrics.timer
        DESTINATION lib/systemd/system)
include(cmake/Documentation.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME torvanreader)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Diagnose and maintain an HDBaseT extender pair")
# Debian shows the description as written: lines within 80 columns, a blank line between paragraphs.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "TorvanReader shows the link state of an HDBaseT extender pair, finds a bad\n"
    "wire pair, updates the firmware of either chip, runs unattended burn-in tests\n"
    "and sets the extender's fail-safe behaviour.\n"
    "\n"
    "The package holds the desktop tool torvanreader, the command-line tool\n"
    "torvanreader-cli for scripts and terminals, and a udev rule that lets the user\n"
    "at the desktop use the extender without root.\n"
    "\n"
    "For monitoring, torvanreader-cli writes Prometheus metrics (a systemd timer,\n"
    "disabled, writes them for node_exporter every minute), checks the link as a\n"
    "Nagios or Icinga plugin, and writes a support report.\n"
    "\n"
    "torvanreader-demo shows the same windows on a simulated extender pair, so that\n"
    "they can be tried without a unit; torvanreader-cli --demo does the same for the\n"
    "commands.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TORVAN_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The package's programs without symbols, nor the compiler's comments and notes (as dh_strip
# leaves them); the build trees keep theirs for debugging.
set(CPACK_STRIP_FILES ON)
set(CPACK_TORVAN_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/StripNotes.cmake)
# The udev rule takes effect for an extender already plugged in once udev has read it again.
configure_file(res/desktop/postinst.in ${CMAKE_CURRENT_BINARY_DIR}/debian/postinst @ONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_BINARY_DIR}/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
