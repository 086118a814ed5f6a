# Makes the three Windows downloads from a build tree (cmake -D... -P this file; cmake/
# WindowsInstaller.cmake runs it, tests/windows/ too):
#   <OUT>/TorvanReader-<VERSION>-win64-setup.exe     the installer (NSIS, res/windows/installer.nsi)
#   <OUT>/TorvanReader-<VERSION>-win64.msi           the MSI package (wixl, res/windows/torvanreader.wxs)
#   <OUT>/TorvanReader-<VERSION>-win64-portable.zip  the installation as a folder, run from anywhere
# from the installation staged in <WORK>/TorvanReader: the build tree BUILD installed there, or
# without BUILD what is there already (the tests' other versions). SIGN (scripts/sign-windows.sh)
# signs the programs before they are packed, the uninstaller as it is made, then the installer and
# the MSI, when the environment gives it a certificate.
# Defines: SOURCE, WORK, OUT, VERSION, PUBLISHER, COPYRIGHT, IN_DOCUMENTS, UPGRADE_CODE, SIGN, BUILD,
# and NSIS_COMPRESSOR (lzma; a test's throw-away package may take a faster one).
foreach(define SOURCE WORK OUT VERSION PUBLISHER COPYRIGHT IN_DOCUMENTS UPGRADE_CODE SIGN)
    if(NOT DEFINED ${define})
        message(FATAL_ERROR "WindowsPackages.cmake needs -D${define}=...")
    endif()
endforeach()
if(NOT NSIS_COMPRESSOR)
    set(NSIS_COMPRESSOR lzma)
endif()
set(name TorvanReader-${VERSION}-win64)
set(stage ${WORK}/TorvanReader)
set(windows ${SOURCE}/res/windows)

function(run)
    execute_process(COMMAND ${ARGN} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

if(BUILD)
    file(REMOVE_RECURSE ${stage})
    run(${CMAKE_COMMAND} --install ${BUILD} --prefix ${stage})
endif()
file(GLOB programs ${stage}/*.exe)
run(${SIGN} ${programs})

# The installer.
set(files ${WORK}/files.nsh)
run(${CMAKE_COMMAND} -DSTAGE=${stage} -DOUT=${files} -P ${SOURCE}/cmake/NsisFileLists.cmake)
set(setup ${OUT}/${name}-setup.exe)
run(makensis -V2 "-XSetCompressor /SOLID /FINAL ${NSIS_COMPRESSOR}" -DVERSION=${VERSION}
    -DOUTFILE=${setup} -DSTAGE=${stage} -DFILES=${files} -DICON=${windows}/torvanreader.ico
    "-DPUBLISHER=${PUBLISHER}" "-DCOPYRIGHT=${COPYRIGHT}" -DIN_DOCUMENTS=${IN_DOCUMENTS}
    -DUPGRADE_CODE=${UPGRADE_CODE} -DSIGN=${SIGN} ${windows}/installer.nsi)
run(${SIGN} ${setup})

# The MSI: wixl-heat lists the staged files as components, each file its own.
file(GLOB_RECURSE staged LIST_DIRECTORIES false ${stage}/*)
list(JOIN staged "\n" staged)
file(WRITE ${WORK}/msi-files.txt "${staged}\n")
run(wixl-heat --prefix ${stage}/ --directory-ref INSTALLDIR --component-group CG.Files --var var.Stage
    --win64 INPUT_FILE ${WORK}/msi-files.txt OUTPUT_FILE ${WORK}/msi-files.wxs)
set(msi ${OUT}/${name}.msi)
# wixl finds the files by paths relative to the folder it runs in.
file(RELATIVE_PATH icon ${WORK} ${windows}/torvanreader.ico)
execute_process(COMMAND wixl --arch x64 -D Version=${VERSION} -D Stage=TorvanReader -D Win64=yes
    -D "Publisher=${PUBLISHER}" -D UpgradeCode=${UPGRADE_CODE} -D InDocuments=${IN_DOCUMENTS}
    -D Icon=${icon} -o ${msi} ${windows}/torvanreader.wxs ${WORK}/msi-files.wxs
    WORKING_DIRECTORY ${WORK} COMMAND_ERROR_IS_FATAL ANY)
run(${SIGN} ${msi})

# The portable zip: one folder, TorvanReader, as staged.
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT}/${name}-portable.zip --format=zip TorvanReader
                WORKING_DIRECTORY ${WORK} COMMAND_ERROR_IS_FATAL ANY)
