# Installation on Windows and the downloads made from it (build/windows/TorvanReader-<version>-
# win64-setup.exe, .msi and -portable.zip): the three programs in one folder with every DLL they
# load (Qt, its windows and offscreen platform plugins and the Windows style, the MinGW runtime),
# LICENSE, README and the demo's firmware images. The udev rule, the manual pages and the bash
# completion are Linux's and stay out.

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

# The downloads (cmake/WindowsPackages.cmake): the installer, the MSI package and the portable zip,
# made again when a program, what they are made of, or the certificate to sign them changes.
set(TORVAN_PACKAGE_NAME ${PROJECT_BINARY_DIR}/TorvanReader-${PROJECT_VERSION}-win64)
set(TORVAN_INSTALLER ${TORVAN_PACKAGE_NAME}-setup.exe)
set(TORVAN_MSI ${TORVAN_PACKAGE_NAME}.msi)
set(TORVAN_PORTABLE_ZIP ${TORVAN_PACKAGE_NAME}-portable.zip)
# The MSI package's UpgradeCode, the same for every version: a newer package finds the older one by
# it, and the installer the MSI package.
set(TORVAN_UPGRADE_CODE 33920a43-9839-40b9-8e48-6920b4d79559)
set(TORVAN_SIGN ${PROJECT_SOURCE_DIR}/scripts/sign-windows.sh)
# Read afresh at each build, changed only when the certificate or the time-stamp server did.
set(signing_identity ${PROJECT_BINARY_DIR}/signing-identity.txt)
add_custom_target(signing_identity BYPRODUCTS ${signing_identity}
                  COMMAND ${TORVAN_SIGN} --identity ${signing_identity} VERBATIM)
# How the packages are made, for the build and for the tests that make their own.
set(TORVAN_PACKAGES_SCRIPT ${PROJECT_SOURCE_DIR}/cmake/WindowsPackages.cmake)
set(TORVAN_PACKAGES_DEFINES -DSOURCE=${PROJECT_SOURCE_DIR} "-DPUBLISHER=${TORVAN_PUBLISHER}"
    "-DCOPYRIGHT=${TORVAN_COPYRIGHT}" -DIN_DOCUMENTS=${TORVAN_IN_DOCUMENTS}
    -DUPGRADE_CODE=${TORVAN_UPGRADE_CODE} -DSIGN=${TORVAN_SIGN})
add_custom_command(OUTPUT ${TORVAN_INSTALLER} ${TORVAN_MSI} ${TORVAN_PORTABLE_ZIP}
    COMMAND ${CMAKE_COMMAND} -DBUILD=${PROJECT_BINARY_DIR} -DWORK=${PROJECT_BINARY_DIR}/packages
            -DOUT=${PROJECT_BINARY_DIR} -DVERSION=${PROJECT_VERSION} ${TORVAN_PACKAGES_DEFINES}
            -P ${TORVAN_PACKAGES_SCRIPT}
    DEPENDS torvanreader torvanreader-cli torvanreader-demo ${signing_identity} ${TORVAN_PACKAGES_SCRIPT}
            ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/README.md
            ${PROJECT_SOURCE_DIR}/res/windows/installer.nsi ${PROJECT_SOURCE_DIR}/res/windows/torvanreader.wxs
            ${PROJECT_SOURCE_DIR}/res/windows/torvanreader.ico ${PROJECT_SOURCE_DIR}/cmake/NsisFileLists.cmake
            ${PROJECT_SOURCE_DIR}/cmake/InstallRuntimeDlls.cmake ${TORVAN_SIGN}
    VERBATIM)
add_custom_target(packages ALL DEPENDS ${TORVAN_INSTALLER} ${TORVAN_MSI} ${TORVAN_PORTABLE_ZIP})
add_dependencies(packages signing_identity)
