# Installation on Windows and the installer made from it (build/windows/TorvanReader-<version>-
# win64-setup.exe, 64-bit NSIS): the three programs in one folder with every DLL they load (Qt,
# its windows and offscreen platform plugins and the Windows style, the MinGW runtime), LICENSE,
# README and the demo's firmware images. The udev rule, the manual pages and the bash completion
# are Linux's and stay out.

# Where the programs' DLLs come from: Qt's bin folder and the MinGW runtime of the compiler that
# built them. The tests find them there under Wine (scripts/wine-run.sh reads dll-dirs.txt).
set(qt_bin ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS})
set(qt_plugins ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS})
set(TORVAN_DLL_DIRS ${qt_bin})
foreach(runtime libstdc++-6.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                    OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    if(NOT IS_ABSOLUTE "${found}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not find ${runtime}")
    endif()
    get_filename_component(found "${found}" DIRECTORY)
    list(APPEND TORVAN_DLL_DIRS ${found})
endforeach()
list(REMOVE_DUPLICATES TORVAN_DLL_DIRS)
list(JOIN TORVAN_DLL_DIRS "\n" dll_dirs)
file(WRITE ${PROJECT_BINARY_DIR}/dll-dirs.txt "${dll_dirs}\n")

# Everything in one folder, as Windows programs are laid out: Qt looks for its plugins in the
# program's folder.
install(TARGETS torvanreader torvanreader-cli torvanreader-demo RUNTIME DESTINATION .)
set(TORVAN_QT_PLUGINS platforms/qwindows.dll platforms/qoffscreen.dll styles/qwindowsvistastyle.dll)
set(plugin_files "")
foreach(plugin IN LISTS TORVAN_QT_PLUGINS)
    get_filename_component(folder ${plugin} DIRECTORY)
    install(FILES ${qt_plugins}/${plugin} DESTINATION ${folder})
    list(APPEND plugin_files ${qt_plugins}/${plugin})
endforeach()
# The DLLs that the programs and plugins import (cmake/InstallRuntimeDlls.cmake).
install(CODE "
    set(TORVAN_MODULES \"$<TARGET_FILE:torvanreader>;$<TARGET_FILE:torvanreader-cli>;$<TARGET_FILE:torvanreader-demo>;${plugin_files}\")
    set(TORVAN_DLL_DIRS \"${TORVAN_DLL_DIRS}\")
    set(TORVAN_OBJDUMP \"${CMAKE_OBJDUMP}\")
    include(\"${PROJECT_SOURCE_DIR}/cmake/InstallRuntimeDlls.cmake\")
")
install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES README.md DESTINATION . RENAME README.txt)
install(FILES samples/firmware/demo-local-tx-3072.2.hex samples/firmware/demo-remote-rx-3072.2.hex
        DESTINATION samples)

# The installer: the installation staged in the build tree, its files listed for NSIS (what to
# install and, for the uninstaller, what to remove), then makensis.
find_program(TORVAN_MAKENSIS makensis REQUIRED)
set(installer_dir ${PROJECT_BINARY_DIR}/installer)
set(TORVAN_INSTALLER ${PROJECT_BINARY_DIR}/TorvanReader-${PROJECT_VERSION}-win64-setup.exe)
add_custom_command(OUTPUT ${TORVAN_INSTALLER}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${installer_dir}/stage
    COMMAND ${CMAKE_COMMAND} --install ${PROJECT_BINARY_DIR} --prefix ${installer_dir}/stage
    COMMAND ${CMAKE_COMMAND} -DSTAGE=${installer_dir}/stage -DOUT=${installer_dir}
            -P ${PROJECT_SOURCE_DIR}/cmake/NsisFileLists.cmake
    COMMAND ${TORVAN_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DOUTFILE=${TORVAN_INSTALLER}
            -DLISTS=${installer_dir} -DICON=${PROJECT_SOURCE_DIR}/res/windows/torvanreader.ico
            ${PROJECT_SOURCE_DIR}/res/windows/installer.nsi
    DEPENDS torvanreader torvanreader-cli torvanreader-demo
            ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/README.md
            ${PROJECT_SOURCE_DIR}/res/windows/installer.nsi ${PROJECT_SOURCE_DIR}/cmake/NsisFileLists.cmake
            ${PROJECT_SOURCE_DIR}/cmake/InstallRuntimeDlls.cmake
    VERBATIM)
add_custom_target(installer ALL DEPENDS ${TORVAN_INSTALLER})
