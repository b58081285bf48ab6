; The Windows setup program. It installs the game for the player who runs it, with no
; administrator rights, into that player's own programs folder, where the high-score table in
; data\ is theirs to write; it adds a Start-menu entry and an entry in the list of installed
; programs, and writes an uninstaller that keeps the player's table.
;
; It never leaves half an install: a running game stops it before anything is changed, a folder
; this account may not write stops it before the installed version is removed, and any write that
; fails after that takes back what this run wrote (never the player's table), with no list entry
; and no shortcut. Its exit status, and the uninstaller's, tells a silent run what happened:
;   0 done; 1 cancelled by the player (NSIS's own);
;   3 Zandorel is running from the folder, so its files cannot be replaced: nothing was changed;
;   4 a file could not be written (a folder this account may not write, a full disk): nothing of
;     this run is left, and no list entry or shortcut either.
;
; The windows build runs makensis on it (cmake/WindowsPackage.cmake), defining VERSION,
; PUBLISHER, COPYRIGHT, ICON, STAGE (the folder the zip is packed from), FILES (the build's list
; of the files it installs) and OUTFILE.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
; Each file keeps the time it has in the folder the build stages it in, which the build sets to
; the last commit's: the same commit makes the same setup program, byte for byte, and the
; installed files say when the game was made rather than when it was built.
SetDateSave on
RequestExecutionLevel user
; A file that cannot be written offers Retry and Cancel, never Ignore; a silent run cancels at once.
AllowSkipFiles off

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include "${FILES}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zandorel"

Name "Zandorel"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Zandorel"
; Installing again goes where the last install went, and finds the player's table there.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Zandorel"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Zandorel ${VERSION} setup program"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${COPYRIGHT}. Released under the MIT licence."

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
; The uninstaller is built from the same program, version information included: it gets a
; description of its own before the setup packs it (the new one is no longer than the old).
!uninstfinalize 'python3 "${__FILEDIR__}/../../tools/pe-description.py" "%1" "Zandorel ${VERSION} setup program" "Zandorel ${VERSION} uninstaller"'

; The MIT licence asks nothing of a player, so it is shown, not agreed to.
!define MUI_LICENSEPAGE_TEXT_BOTTOM "The licence says what you may do with the game; it asks nothing of you to play it."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Zandorel"
!define MUI_FINISHPAGE_RUN_FUNCTION StartGame
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; $Kept is read when the page shows, after the uninstaller has looked for the table.
Var Kept
!define MUI_FINISHPAGE_TEXT "Zandorel has been removed from your computer.$\r$\n$\r$\n$Kept"
!insertmacro MUI_UNPAGE_FINISH
!insertmacro MUI_LANGUAGE "English"

; Why the install or uninstall stopped, for the player (empty: they were asked already), and its
; exit status (see the top).
Var Why
Var ExitCode
; "writing" once this run has begun to put files in place: a failure from then on takes them back.
Var Phase
; 1 when this run put the shipped table in place, which is then not yet the player's.
Var WroteTable
; The folder the list of installed programs names, where an earlier install lies.
Var Installed

; Windows does not let a running program's file be written, and neither does Wine: a zandorel.exe
; that cannot be opened for writing is a game still running from that folder. Retry looks again;
; Cancel, or a silent run, stops before anything is changed.
!macro ZANDOREL_WAIT_FOR_GAME folder
    ${Do}
        ${IfNot} ${FileExists} "${folder}\zandorel.exe"
            ${Break}
        ${EndIf}
        ClearErrors
        FileOpen $R0 "${folder}\zandorel.exe" a
        ${IfNot} ${Errors}
            FileClose $R0
            ${Break}
        ${EndIf}
        ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Zandorel is running from ${folder}, and its files cannot be replaced while it runs.$\r$\n$\r$\nClose Zandorel, then choose Retry." /SD IDCANCEL IDRETRY`
            StrCpy $Why ""
            StrCpy $ExitCode 3
            SetErrorLevel 3
            Abort
        ${EndIf}
    ${Loop}
!macroend

; The error flag after a write: set, the install stops and takes back what it wrote.
!macro ZANDOREL_CHECK what
    ${If} ${Errors}
        StrCpy $Why "${what}"
        StrCpy $ExitCode 4
        Abort
    ${EndIf}
!macroend

Function StartGame
    ; The game reads graphics\ and data\ from the folder it starts in.
    SetOutPath "$INSTDIR"
    Exec '"$INSTDIR\zandorel.exe"'
FunctionEnd

Section
    StrCpy $ExitCode 4
    StrCpy $Why "A file could not be written in $INSTDIR."
    ReadRegStr $Installed HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $Installed != ""
        !insertmacro ZANDOREL_WAIT_FOR_GAME "$Installed"
    ${EndIf}
    !insertmacro ZANDOREL_WAIT_FOR_GAME "$INSTDIR"

    ; Whether this account may write the folder, found out before the installed version goes.
    ClearErrors
    CreateDirectory "$INSTDIR"
    FileOpen $R0 "$INSTDIR\zandorel-setup.tmp" w
    ${If} ${Errors}
        RMDir "$INSTDIR"
        StrCpy $Why "This account may not write in $INSTDIR. Choose a folder of your own, such as $LOCALAPPDATA\Programs\Zandorel."
        Abort
    ${EndIf}
    FileClose $R0
    Delete "$INSTDIR\zandorel-setup.tmp"

    ; An upgrade replaces: the installed version's own uninstaller, run in place, removes the
    ; files that version shipped (a level this one no longer has among them) and keeps the
    ; player's table; then this version's files go in.
    ${If} $Installed != ""
    ${AndIf} ${FileExists} "$Installed\uninstall.exe"
        ClearErrors
        ExecWait '"$Installed\uninstall.exe" /S _?=$Installed' $R0
        ${If} ${Errors}
        ${OrIf} $R0 != 0
            StrCpy $Why "The installed Zandorel in $Installed could not be removed first."
            Abort
        ${EndIf}
        ; Run in place, it could not remove itself.
        Delete "$Installed\uninstall.exe"
        RMDir "$Installed"
    ${EndIf}

    StrCpy $Phase "writing"
    ClearErrors
    !insertmacro ZANDOREL_INSTALL_FILES
    !insertmacro ZANDOREL_CHECK "The game's files could not all be written in $INSTDIR."
    ; A first install brings the shipped table; an install over an earlier one, of this version
    ; or another, leaves the player's scores as they are.
    ${IfNot} ${FileExists} "$INSTDIR\data\highscores.txt"
        SetOutPath "$INSTDIR\data"
        File "${STAGE}\data\highscores.txt"
        StrCpy $WroteTable 1
        !insertmacro ZANDOREL_CHECK "$INSTDIR\data\highscores.txt could not be written."
    ${EndIf}
    WriteUninstaller "$INSTDIR\uninstall.exe"
    !insertmacro ZANDOREL_CHECK "$INSTDIR\uninstall.exe could not be written."

    ; The game reads graphics\ and data\ from the folder it starts in: the entry's working folder,
    ; which is the output folder at the time the entry is made.
    SetOutPath "$INSTDIR"
    CreateShortCut "$SMPROGRAMS\Zandorel.lnk" "$INSTDIR\zandorel.exe" "" "$INSTDIR\zandorel.exe" 0
    !insertmacro ZANDOREL_CHECK "The Start-menu entry could not be made."

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Zandorel"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zandorel.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
    !insertmacro ZANDOREL_CHECK "The entry in the list of installed programs could not be written."
SectionEnd

; Any stop after the first write takes back what this run wrote: the shipped files by name, the
; uninstaller, the shortcut and the list entry, and the table only when this run brought it.
Function .onInstFailed
    ${If} $Phase == "writing"
        !insertmacro ZANDOREL_REMOVE_FILES
        Delete "$INSTDIR\uninstall.exe"
        ${If} $WroteTable == 1
            Delete "$INSTDIR\data\highscores.txt"
        ${EndIf}
        Delete "$SMPROGRAMS\Zandorel.lnk"
        DeleteRegKey HKCU "${UNINSTALL_KEY}"
        RMDir "$INSTDIR\graphics"
        RMDir "$INSTDIR\data"
        RMDir "$INSTDIR"
    ${EndIf}
    ${If} $Why != ""
        MessageBox MB_OK|MB_ICONSTOP "Zandorel was not installed.$\r$\n$\r$\n$Why" /SD IDOK
    ${EndIf}
    SetErrorLevel $ExitCode
FunctionEnd

Section "Uninstall"
    StrCpy $ExitCode 3
    !insertmacro ZANDOREL_WAIT_FOR_GAME "$INSTDIR"
    !insertmacro ZANDOREL_REMOVE_FILES
    Delete "$INSTDIR\uninstall.exe"
    ; What the game writes beside itself at every start: its trace and its output. They tell of
    ; this install only, and would keep its folder for nothing.
    Delete "$INSTDIR\debug.txt"
    Delete "$INSTDIR\stdout.txt"
    Delete "$INSTDIR\stderr.txt"
    Delete "$SMPROGRAMS\Zandorel.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ; Only empty folders go: the player's table keeps data\, and with it the game's folder.
    RMDir "$INSTDIR\graphics"
    RMDir "$INSTDIR\data"
    RMDir "$INSTDIR"
    ${If} ${FileExists} "$INSTDIR\data\highscores.txt"
        StrCpy $Kept "Your high-score table is kept, in $INSTDIR\data: installing Zandorel there again finds it."
        DetailPrint "$Kept"
    ${EndIf}
SectionEnd

; Stopped by a running game: nothing was removed.
Function un.onUninstFailed
    SetErrorLevel $ExitCode
FunctionEnd
