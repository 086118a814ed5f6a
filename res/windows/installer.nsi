; The Windows installer of TorvanReader, made by cmake/WindowsPackages.cmake with makensis and the
; defines VERSION, OUTFILE, STAGE (the installation staged, file by file), FILES (its list, made by
; cmake/NsisFileLists.cmake), ICON, PUBLISHER, COPYRIGHT, IN_DOCUMENTS, UPGRADE_CODE (the MSI
; package's) and SIGN (scripts/sign-windows.sh), the compressor given with -X.
;
; It installs for the user alone, with no administrator rights (%LOCALAPPDATA%\Programs, the
; user's Start menu and list of installed programs), or for everyone (Program Files, the Start
; menu and list of every user), asking for administrator rights itself then. /S /CurrentUser and
; /S /AllUsers choose silently; /S alone installs as the install found on the PC, else for
; everyone, as earlier versions did.
;
; The install it replaces stays as it was until the new one is written whole: nothing changes
; while one of its programs runs (it asks to close them; silently it gives up), the new files are
; written into a folder of their own first, and only then is the old version removed by its own
; uninstaller and the new files moved into place.
;
; Exit codes: 0 installed, 1 cancelled by the user, 2 not installed (a program of the install
; running, a file that could not be written, administrator rights refused, the MSI package
; installed for everyone in the same folder).
Unicode true
Target amd64-unicode
; Installing for the user alone needs no rights; for everyone it asks (RunElevated).
RequestExecutionLevel user
ManifestDPIAware true

!define PRODUCT "TorvanReader"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define MENU "$SMPROGRAMS\${PRODUCT}"
; The new files' own folder until they take their places.
!define STAGING "$INSTDIR\~setup"
!define FAILED 2

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${COPYRIGHT}"
VIAddVersionKey "OriginalFilename" "${PRODUCT}-${VERSION}-win64-setup.exe"
; The uninstaller is written at install time: signed as it is made, when the build signs.
!uninstfinalize '"${SIGN}" "%1"'

!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "MUI2.nsh"
!include "nsDialogs.nsh"
!include "${FILES}"

Var AllUsers  ; 1: for everyone, 0: for the user alone
Var ModeGiven ; 1: /AllUsers or /CurrentUser on the command line
Var DirGiven  ; 1: /D= on the command line
Var OldDir    ; the folder of the install replaced, empty when there is none
Var ForMe     ; the mode page's buttons
Var ForEveryone

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
Page custom ModePage ModePageLeave
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed. Start it from the Start menu: it works in \
    your Documents\${PRODUCT} folder, where the burn-in log BIT.txt is written."
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"
!define MUI_FINISHPAGE_RUN_FUNCTION StartTool
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishShow
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Says why nothing was installed, or removed, and ends with exit code 2.
!macro Fail TEXT
    MessageBox MB_OK|MB_ICONSTOP "${TEXT}" /SD IDOK
    SetErrorLevel ${FAILED}
    Abort "${TEXT}"
!macroend

; Runs this program again with administrator rights (Windows asks for them) and ends with its exit
; code; the arguments on the stack are added to this run's, and /Elevated, by which the run knows
; it had them asked for. Refused rights end it with exit code 2.
!macro RunElevatedFunction PREFIX
Function ${PREFIX}RunElevated
    Pop $R1
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/Elevated" $R2
    ${IfNot} ${Errors}
        ; Asked for, and still without them: the account given is no administrator.
        MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} for everyone needs administrator rights, \
            which the account given does not have." /SD IDOK
        SetErrorLevel ${FAILED}
        Quit
    ${EndIf}
    StrCpy $R1 "/Elevated $R1"
    ; SHELLEXECUTEINFOW, 112 bytes on x64: cbSize, fMask (SEE_MASK_NOCLOSEPROCESS), hwnd, lpVerb,
    ; lpFile, lpParameters, lpDirectory, nShow (with its padding), and hProcess at offset 104.
    System::Call '*(i 112, i 0x40, p $HWNDPARENT, w "runas", w "$EXEPATH", w "$R0 $R1", p 0, \
        i ${SW_SHOWNORMAL}, i 0, p 0, p 0, p 0, p 0, i 0, i 0, p 0, p 0) p .R2'
    System::Call 'shell32::ShellExecuteExW(p R2) i .R3 ?e'
    Pop $R4
    ${If} $R3 == 0
        System::Free $R2
        MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} for everyone needs administrator rights, \
            which were not given (error $R4)." /SD IDOK
        SetErrorLevel ${FAILED}
        Quit
    ${EndIf}
    System::Call '*$R2(i, i, p, p, p, p, p, i, i, p, p, p, p, i, i, p, p .R5)'
    System::Free $R2
    HideWindow
    System::Call 'kernel32::WaitForSingleObject(p R5, i -1)'
    System::Call 'kernel32::GetExitCodeProcess(p R5, *i .R6)'
    System::Call 'kernel32::CloseHandle(p R5)'
    SetErrorLevel $R6
    Quit
FunctionEnd
!macroend
!insertmacro RunElevatedFunction ""
!insertmacro RunElevatedFunction "un."

; Whether the process runs with administrator rights: "Admin" in $R0 then.
!macro AccountType
    UserInfo::GetAccountType
    Pop $R0
!macroend

; Adds FILE in FOLDER to the list in $R9 when it is there and cannot be written: open in another
; program (as a program of TorvanReader is while it runs), or not the user's to write.
!macro NoteUnwritable FOLDER FILE
    ${If} ${FileExists} "${FOLDER}\${FILE}"
        ClearErrors
        FileOpen $R8 "${FOLDER}\${FILE}" a
        ${If} ${Errors}
            StrCpy $R9 "$R9$\r$\n${FOLDER}\${FILE}"
        ${Else}
            FileClose $R8
        ${EndIf}
    ${EndIf}
!macroend
!macro NoteRunningInOld FILE
    ${If} $OldDir != ""
    ${AndIf} $OldDir != $INSTDIR
        !insertmacro NoteUnwritable "$OldDir" "${FILE}"
    ${EndIf}
!macroend
!macro NoteRunning FILE
    !insertmacro NoteUnwritable "$INSTDIR" "${FILE}"
!macroend
!macro NoteInUse FILE
    !insertmacro NoteUnwritable "$INSTDIR" "${FILE}"
!macroend

; Returns once no program of the install runs and every file it has can be written; asks to close
; the programs (silently it gives up), and changes nothing when the user cancels.
!macro RefuseWhileInUseFunction PREFIX VERB
Function ${PREFIX}RefuseWhileInUse
    retry:
    StrCpy $R9 ""
    !insertmacro ForEachProgram NoteRunning
    !insertmacro ForEachProgram NoteRunningInOld
    ${If} $R9 != ""
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is running:$R9$\r$\n$\r$\nClose \
            it, then choose Retry. Cancel leaves the installed ${PRODUCT} as it is." \
            /SD IDCANCEL IDRETRY retry
        !insertmacro Fail "${PRODUCT} is running, so it was not ${VERB}: nothing was changed."
    ${EndIf}
    !insertmacro ForEachFile NoteInUse
    ${If} $R9 != ""
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "These files of ${PRODUCT} cannot be \
            changed:$R9$\r$\n$\r$\nClose the program that holds them, then choose Retry. Cancel \
            leaves the installed ${PRODUCT} as it is." /SD IDCANCEL IDRETRY retry
        !insertmacro Fail "Files of ${PRODUCT} cannot be changed, so it was not ${VERB}: \
            nothing was changed."
    ${EndIf}
FunctionEnd
!macroend
!insertmacro RefuseWhileInUseFunction "" "installed"
; The uninstaller has no OldDir: it is the install.
!insertmacro RefuseWhileInUseFunction "un." "removed"

; The mode's folders and registry hive; for everyone asks for administrator rights first.
Function UseMode
    ${If} $AllUsers == 1
        !insertmacro AccountType
        ${If} $R0 != "Admin"
            Push "/AllUsers"
            Call RunElevated
        ${EndIf}
        SetShellVarContext all
        StrCpy $R1 "$PROGRAMFILES64\${PRODUCT}"
    ${Else}
        SetShellVarContext current
        StrCpy $R1 "$LOCALAPPDATA\Programs\${PRODUCT}"
    ${EndIf}
    ReadRegStr $OldDir SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $OldDir != ""
    ${AndIfNot} ${FileExists} "$OldDir\Uninstall.exe"
        StrCpy $OldDir ""
    ${EndIf}
    ${If} $DirGiven != 1
        ${If} $OldDir != ""
            StrCpy $INSTDIR $OldDir
        ${Else}
            StrCpy $INSTDIR $R1
        ${EndIf}
    ${EndIf}
FunctionEnd

Function .onInit
    SetRegView 64
    ${If} $INSTDIR != ""
        StrCpy $DirGiven 1
    ${EndIf}
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/AllUsers" $R1
    ${IfNot} ${Errors}
        StrCpy $AllUsers 1
        StrCpy $ModeGiven 1
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/CurrentUser" $R1
    ${IfNot} ${Errors}
        ${If} $ModeGiven == 1
            !insertmacro Fail "Give /AllUsers or /CurrentUser, not both."
        ${EndIf}
        StrCpy $AllUsers 0
        StrCpy $ModeGiven 1
    ${EndIf}
    ${If} $ModeGiven != 1
        ; The kind of the install found; else on screen for the user alone, silently for
        ; everyone, as earlier versions installed.
        StrCpy $AllUsers 0
        ReadRegStr $R1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
        ReadRegStr $R2 HKCU "${UNINSTALL_KEY}" "InstallLocation"
        ${If} $R1 != ""
            StrCpy $AllUsers 1
        ${ElseIf} $R2 == ""
        ${AndIf} ${Silent}
            StrCpy $AllUsers 1
        ${EndIf}
    ${EndIf}
    ${If} $ModeGiven == 1
    ${OrIf} ${Silent}
        Call UseMode
    ${EndIf}
FunctionEnd

Function ModePage
    ${If} $ModeGiven == 1
        Abort ; chosen on the command line
    ${EndIf}
    !insertmacro MUI_HEADER_TEXT "Choose Users" "Choose for whom ${PRODUCT} is installed."
    nsDialogs::Create 1018
    Pop $R0
    ${NSD_CreateRadioButton} 0 0 100% 12u "Only for &me (no administrator rights needed)"
    Pop $ForMe
    ${NSD_CreateRadioButton} 0 20u 100% 12u "For &everyone on this PC (needs administrator rights)"
    Pop $ForEveryone
    ${If} $AllUsers == 1
        ${NSD_Check} $ForEveryone
    ${Else}
        ${NSD_Check} $ForMe
    ${EndIf}
    nsDialogs::Show
FunctionEnd

Function ModePageLeave
    ${NSD_GetState} $ForEveryone $R0
    ${If} $R0 == ${BST_CHECKED}
        StrCpy $AllUsers 1
    ${Else}
        StrCpy $AllUsers 0
    ${EndIf}
    Call UseMode
FunctionEnd

; An installer that runs with administrator rights would start the tool with them too, as
; whoever gave them: it offers no start then.
Function FinishShow
    !insertmacro AccountType
    ${If} $R0 == "Admin"
        ${NSD_Uncheck} $mui.FinishPage.Run
        ShowWindow $mui.FinishPage.Run ${SW_HIDE}
    ${EndIf}
FunctionEnd

Function StartTool
    Exec '"$INSTDIR\torvanreader.exe" ${IN_DOCUMENTS}'
FunctionEnd

Function .onInstFailed
    RMDir /r "${STAGING}"
FunctionEnd

!macro StagingFolder FOLDER
    CreateDirectory "${STAGING}\${FOLDER}"
!macroend
!macro StageFile FILE
    File "/oname=${STAGING}\${FILE}" "${STAGE}\${FILE}"
!macroend
!macro InstalledFolder FOLDER
    CreateDirectory "$INSTDIR\${FOLDER}"
!macroend
; Rename sets the error flag when the file cannot take its place.
!macro PlaceFile FILE
    Delete "$INSTDIR\${FILE}"
    Rename "${STAGING}\${FILE}" "$INSTDIR\${FILE}"
!macroend

Section "Install"
    ${If} $AllUsers == 1
        ; The MSI package installs for everyone into the same folder: one of the two at a time.
        System::Call 'msi::MsiEnumRelatedProductsW(w "{${UPGRADE_CODE}}", i 0, i 0, w .R0) i .R1'
        ${If} $R1 == 0
            !insertmacro Fail "${PRODUCT} is installed on this PC by its MSI package: update it \
                with a newer MSI package, or remove it under Installed apps first."
        ${EndIf}
    ${EndIf}
    Call RefuseWhileInUse
    ; The new files, whole, in their own folder: a file that cannot be written fails the install
    ; with the old version untouched.
    SetOverwrite on
    AllowSkipFiles off
    RMDir /r "${STAGING}"
    CreateDirectory "${STAGING}"
    !insertmacro ForEachFolder StagingFolder
    !insertmacro ForEachFile StageFile

    ${If} $OldDir != ""
        ExecWait '"$OldDir\Uninstall.exe" /S _?=$OldDir' $R0
        ${If} $R0 != 0
            !insertmacro Fail "The installed ${PRODUCT} in $OldDir could not be removed (its \
                uninstaller ended with $R0): ${PRODUCT} ${VERSION} was not installed."
        ${EndIf}
        Delete "$OldDir\Uninstall.exe"
        RMDir "$OldDir"
    ${EndIf}

    ClearErrors
    !insertmacro ForEachFolder InstalledFolder
    !insertmacro ForEachFile PlaceFile
    ${If} ${Errors}
        !insertmacro Fail "The files of ${PRODUCT} ${VERSION} could not all be put in $INSTDIR."
    ${EndIf}
    RMDir /r "${STAGING}"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    ; The tool works in the user's Documents folder, which the user may write (IN_DOCUMENTS).
    SetOutPath "$INSTDIR"
    CreateDirectory "${MENU}"
    CreateShortcut "${MENU}\${PRODUCT}.lnk" "$INSTDIR\torvanreader.exe" "${IN_DOCUMENTS}"
    CreateShortcut "${MENU}\${PRODUCT} Demo.lnk" "$INSTDIR\torvanreader-demo.exe" "${IN_DOCUMENTS}"

    ${GetSize} "$INSTDIR" "/S=0K" $R0 $R1 $R2
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\torvanreader.exe"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $R0
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The install this uninstaller belongs to: the user's own when the user's list of installed
; programs names its folder, else everyone's, which asks for administrator rights.
Function un.onInit
    SetRegView 64
    ReadRegStr $R0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $R0 == $INSTDIR
        SetShellVarContext current
    ${Else}
        !insertmacro AccountType
        ${If} $R0 != "Admin"
            Push "_?=$INSTDIR"
            Call un.RunElevated
        ${EndIf}
        SetShellVarContext all
    ${EndIf}
FunctionEnd

!macro RemoveFile FILE
    Delete "$INSTDIR\${FILE}"
!macroend
!macro RemoveFolder FOLDER
    RMDir "$INSTDIR\${FOLDER}"
!macroend

Section "Uninstall"
    Call un.RefuseWhileInUse
    Delete "${MENU}\${PRODUCT}.lnk"
    Delete "${MENU}\${PRODUCT} Demo.lnk"
    RMDir "${MENU}"
    !insertmacro ForEachFile RemoveFile
    !insertmacro ForEachFolder RemoveFolder
    Delete "$INSTDIR\Uninstall.exe"
    ; Removed only when empty: a file the user put there stays, and so does the folder.
    RMDir "$INSTDIR"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
