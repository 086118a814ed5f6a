# The resources of each Windows program (res/windows/program.rc.in): the icon, the version
# information and the manifest (res/windows/program.manifest).
#   torvan_windows_resources(TARGET "description Explorer and the Task Manager show")
# The version information's fields are the project's one version, publisher and copyright.
set(TORVAN_PUBLISHER "TorvanReader developers")
set(TORVAN_COPYRIGHT "MIT licence")
string(REPLACE "." "," TORVAN_VERSION_COMMAS ${PROJECT_VERSION})

function(torvan_windows_resources target description)
    set(TORVAN_PROGRAM ${target})
    set(TORVAN_DESCRIPTION "${description}")
    set(TORVAN_ICON ${PROJECT_SOURCE_DIR}/res/windows/torvanreader.ico)
    set(TORVAN_MANIFEST ${PROJECT_SOURCE_DIR}/res/windows/program.manifest)
    set(rc ${PROJECT_BINARY_DIR}/generated/${target}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/res/windows/program.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    # windres reads the icon and the manifest only when the .rc changes, unless told otherwise.
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${TORVAN_ICON};${TORVAN_MANIFEST}")
endfunction()
