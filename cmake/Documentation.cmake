# What a Debian system keeps beside the programs: the manual pages, the bash completion of the
# command-line tool, and the package's copyright, changelog and the demo's firmware images in
# /usr/share/doc.
set(TORVAN_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/torvanreader)
# Both are read while configuring: a change to either configures again.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS LICENSE res/debian/changelog)

# Manual pages and the changelog are installed gzip-compressed, as Debian wants them. They are
# compressed at build time at the highest level and without name or time stamp, so the same
# source always gives the same bytes.
find_program(TORVAN_GZIP gzip REQUIRED)
set(TORVAN_GZIPPED "")
function(torvan_install_gzipped source destination)
    get_filename_component(name ${source} NAME)
    set(copy ${CMAKE_CURRENT_BINARY_DIR}/gzipped/${name})
    add_custom_command(OUTPUT ${copy}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
        COMMAND ${TORVAN_GZIP} -9nf ${copy}
        DEPENDS ${source}
        VERBATIM)
    install(FILES ${copy}.gz DESTINATION ${destination})
    set(TORVAN_GZIPPED ${TORVAN_GZIPPED} ${copy}.gz PARENT_SCOPE)
endfunction()

# The manual pages and the completion name the extender's USB IDs from the project's one record.
foreach(page torvanreader.1 torvanreader-cli.1 torvanreader-demo.1)
    configure_file(res/man/${page} ${CMAKE_CURRENT_BINARY_DIR}/man/${page} @ONLY)
    torvan_install_gzipped(${CMAKE_CURRENT_BINARY_DIR}/man/${page} ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The changelog's latest entry is this release: a version without its entry is not released.
file(STRINGS res/debian/changelog latest_entry LIMIT_COUNT 1)
if(NOT latest_entry MATCHES "^torvanreader \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "res/debian/changelog has no entry for ${PROJECT_VERSION} on top: add one")
endif()
torvan_install_gzipped(${CMAKE_CURRENT_SOURCE_DIR}/res/debian/changelog ${TORVAN_DOC_DIR})
add_custom_target(gzipped_docs ALL DEPENDS ${TORVAN_GZIPPED})

# The copyright in Debian's machine-readable form, with the holder and the licence text of LICENSE
# (Debian names the MIT licence "Expat"): the paragraphs indented, blank lines as " .".
file(READ LICENSE license)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)\n\n(.*)" license "${license}")
set(TORVAN_COPYRIGHT ${CMAKE_MATCH_1})
string(STRIP "${CMAKE_MATCH_2}" license)
string(REPLACE "\n\n" "\n.\n" license "${license}")
string(REPLACE "\n" "\n " TORVAN_LICENSE_TEXT " ${license}")
configure_file(res/debian/copyright.in ${CMAKE_CURRENT_BINARY_DIR}/debian/copyright @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/debian/copyright DESTINATION ${TORVAN_DOC_DIR})

# The demo's firmware images, to try an update on its simulated chips, and the udev rule that the
# metrics' service needs, to install by hand where it is used.
configure_file(res/systemd/71-torvanreader-service.rules.in
               ${CMAKE_CURRENT_BINARY_DIR}/71-torvanreader-service.rules @ONLY)
install(FILES samples/firmware/demo-local-tx-3072.2.hex samples/firmware/demo-remote-rx-3072.2.hex
              ${CMAKE_CURRENT_BINARY_DIR}/71-torvanreader-service.rules
        DESTINATION ${TORVAN_DOC_DIR}/examples)

configure_file(res/completion/torvanreader-cli ${CMAKE_CURRENT_BINARY_DIR}/completion/torvanreader-cli
               @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/completion/torvanreader-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
