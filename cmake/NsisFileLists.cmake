# Lists the staged installation for the installer (cmake -DSTAGE=dir -DOUT=file.nsh -P this file),
# as three macros that hand each entry to the macro named:
#   ForEachFile DO     every file, by its path in the installation
#   ForEachFolder DO   every folder below the installation's own, deepest first, so that a
#                      folder is removed after what it holds
#   ForEachProgram DO  the programs, whose files a running program holds
# The installer stages, checks and places, and the uninstaller removes, exactly what is listed,
# and nothing that the user put beside it.
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${STAGE} ${STAGE}/*)
list(SORT files)
if(NOT files)
    message(FATAL_ERROR "nothing staged in ${STAGE}")
endif()
set(each_file "")
set(each_program "")
set(folders "")
foreach(file IN LISTS files)
    string(REPLACE "/" "\\" windows_file "${file}")
    string(APPEND each_file "!insertmacro \${DO} \"${windows_file}\"\n")
    if(file MATCHES "^[^/]+\\.exe$")
        string(APPEND each_program "!insertmacro \${DO} \"${windows_file}\"\n")
    endif()
    get_filename_component(folder "${file}" DIRECTORY)
    while(folder)
        string(REPLACE "/" "\\" windows_folder "${folder}")
        list(APPEND folders "${windows_folder}")
        get_filename_component(folder "${folder}" DIRECTORY)
    endwhile()
endforeach()
list(REMOVE_DUPLICATES folders)
list(SORT folders ORDER DESCENDING)
set(each_folder "")
foreach(folder IN LISTS folders)
    string(APPEND each_folder "!insertmacro \${DO} \"${folder}\"\n")
endforeach()
file(WRITE ${OUT} "; The staged installation's files, folders and programs (cmake/NsisFileLists.cmake).
!macro ForEachFile DO
${each_file}!macroend
!macro ForEachFolder DO
${each_folder}!macroend
!macro ForEachProgram DO
${each_program}!macroend
")
