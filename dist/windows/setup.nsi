; The Windows setup program. It installs the game for the player who runs it, with no
; administrator rights, into that player's own programs folder, where the high-score table in
; data\ is theirs to write; it adds a Start-menu entry and an entry in the list of installed
; programs, and writes an uninstaller that keeps the player's table.
;
; It never costs the player the game or the scores. A running game stops it before anything is
; changed, and so does a folder this account may not write. An installed version is copied aside
; before its own uninstaller removes it; any failure from then on (a file that cannot be
; written, a full disk, the player's Cancel) takes back what this run wrote and puts the
; installed version back: its files, its list entry and Start-menu entry, the player's table as
; it was. On a first install nothing is left. Installed into another folder than the installed
; version's, the player's table goes along, merged by the game's own rule with a table already
; there (dist/windows/merge-scores.cpp), and the old folder keeps nothing of the game's.
; Its exit status, and the uninstaller's, tells a silent run what happened:
;   0 done; 1 cancelled by the player (NSIS's own);
;   3 Zandorel is running from the folder, so its files cannot be replaced: nothing was changed;
;   4 a file could not be written or set aside (a folder this account may not write, a full
;     disk, a read-only zandorel.exe this account may not make writable): everything is as it
;     was before the run.
;
; The windows build runs makensis on it (cmake/WindowsPackage.cmake), defining VERSION,
; PUBLISHER, COPYRIGHT, ICON, STAGE (the folder the zip is packed from), FILES (the build's list
; of the files it installs), MERGE (the helper that merges two tables) and OUTFILE.

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
; $Scores says where the player's table went when it moved with the game.
Var Scores
!define MUI_FINISHPAGE_TEXT "Zandorel is installed in $INSTDIR.$\r$\n$\r$\n$Scores"
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
; 1 once this run has begun to put its files in place: a failure from then on takes them back.
Var Writing
; 1 when this run put the shipped table in place, which is then not yet the player's.
Var WroteTable
; The folder the list of installed programs names, where an earlier install lies.
Var Installed
; 1 once the installed version's uninstaller has been started: a failure puts that version back
; from its copy in $PLUGINSDIR\old.
Var OldGone
; How many of the installed version's list-entry values lie on the stack (empty: none kept).
Var EntryValues
; Where the player's table from $Installed now lies in $INSTDIR, until the run is done.
Var MovedTable
; 1 once the merge may have changed the table already in $INSTDIR (its copy is in $PLUGINSDIR).
Var Merged

; Windows does not let a running program's file be written, and neither does Wine: a zandorel.exe
; that cannot be opened for writing is a game still running from that folder. A read-only one
; cannot be opened for writing either, running or not: its attribute is lifted for the look and
; put back, and one this account may not make writable is a file that cannot be replaced. Retry
; looks again; Cancel, or a silent run, stops before anything is changed.
!macro ZANDOREL_WAIT_FOR_GAME folder
    ${Do}
        ${IfNot} ${FileExists} "${folder}\zandorel.exe"
            ${Break}
        ${EndIf}
        System::Call 'kernel32::GetFileAttributesW(w "${folder}\zandorel.exe") i .R1'
        IntOp $R2 $R1 & 1
        ${If} $R1 = -1
            StrCpy $R2 0
        ${EndIf}
        ${If} $R2 <> 0
            IntOp $R3 $R1 ^ 1
            System::Call 'kernel32::SetFileAttributesW(w "${folder}\zandorel.exe", i R3) i .R3'
            ${If} $R3 = 0
                StrCpy $Why "${folder}\zandorel.exe is read-only, and this account may not make it writable, so it cannot be replaced."
                StrCpy $ExitCode 4
                SetErrorLevel 4
                Abort
            ${EndIf}
        ${EndIf}
        StrCpy $R3 "running"
        ClearErrors
        FileOpen $R0 "${folder}\zandorel.exe" a
        ${IfNot} ${Errors}
            FileClose $R0
            StrCpy $R3 ""
        ${EndIf}
        ${If} $R2 <> 0
            System::Call 'kernel32::SetFileAttributesW(w "${folder}\zandorel.exe", i R1)'
        ${EndIf}
        ${If} $R3 == ""
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

; The error flag after a write: set, the install stops and puts back what was there.
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

; The installed version's list entry, each value's name, kind and value, onto the stack, from
; where a failure writes it back as it was, whatever that version put in it.
Function KeepEntry
    StrCpy $EntryValues 0
    ${Do}
        ClearErrors
        EnumRegValue $R1 HKCU "${UNINSTALL_KEY}" $EntryValues
        ${If} ${Errors}
        ${OrIf} $R1 == ""
            ${Break}
        ${EndIf}
        ; A number reads as text too, with the error flag set.
        ClearErrors
        ReadRegStr $R2 HKCU "${UNINSTALL_KEY}" $R1
        StrCpy $R3 "text"
        ${If} ${Errors}
            ReadRegDWORD $R2 HKCU "${UNINSTALL_KEY}" $R1
            StrCpy $R3 "number"
        ${EndIf}
        Push $R2
        Push $R3
        Push $R1
        IntOp $EntryValues $EntryValues + 1
    ${Loop}
FunctionEnd

Function PutEntryBack
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${DoWhile} $EntryValues > 0
        Pop $R1
        Pop $R3
        Pop $R2
        ${If} $R3 == "number"
            WriteRegDWORD HKCU "${UNINSTALL_KEY}" $R1 $R2
        ${Else}
            WriteRegStr HKCU "${UNINSTALL_KEY}" $R1 $R2
        ${EndIf}
        IntOp $EntryValues $EntryValues - 1
    ${Loop}
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
    ; player's table; then this version's files go in. Everything it removes is copied aside
    ; first (the table, which it keeps, excepted), so that a failure can put it back.
    InitPluginsDir
    ${If} $Installed != ""
        Call KeepEntry
        ${If} ${FileExists} "$SMPROGRAMS\Zandorel.lnk"
            ClearErrors
            CreateDirectory "$PLUGINSDIR\old\files"
            CopyFiles /SILENT "$SMPROGRAMS\Zandorel.lnk" "$PLUGINSDIR\old"
            !insertmacro ZANDOREL_CHECK "The Start-menu entry of the installed Zandorel could not be set aside."
        ${EndIf}
    ${EndIf}
    ${If} $Installed != ""
    ${AndIf} ${FileExists} "$Installed\uninstall.exe"
        ClearErrors
        CreateDirectory "$PLUGINSDIR\old\files"
        CopyFiles /SILENT "$Installed\*.*" "$PLUGINSDIR\old\files"
        !insertmacro ZANDOREL_CHECK "The installed Zandorel in $Installed could not be set aside."
        Delete "$PLUGINSDIR\old\files\data\highscores.txt"
        StrCpy $OldGone 1
        ; An uninstaller of an earlier release takes a read-only zandorel.exe for a running game;
        ; the copy aside keeps the attribute, for a failure to put back.
        SetFileAttributes "$Installed\zandorel.exe" NORMAL
        ClearErrors
        ExecWait '"$Installed\uninstall.exe" /S _?=$Installed' $R0
        ${If} ${Errors}
        ${OrIf} $R0 != 0
            StrCpy $Why "The installed Zandorel in $Installed could not be removed first."
            Abort
        ${EndIf}
        ; Run in place, it could not remove itself.
        Delete "$Installed\uninstall.exe"
    ${EndIf}

    ; The player's table goes where the game goes, when this is another folder.
    StrCpy $MovedTable ""
    ${If} $Installed != ""
    ${AndIf} $Installed != $INSTDIR
    ${AndIf} ${FileExists} "$Installed\data\highscores.txt"
        StrCpy $MovedTable "$INSTDIR\data\highscores.txt"
        ${If} ${FileExists} "$INSTDIR\data\highscores.txt"
            StrCpy $MovedTable "$INSTDIR\data\zandorel-setup-moved.txt"
        ${EndIf}
    ${EndIf}

    StrCpy $Writing 1
    ClearErrors
    !insertmacro ZANDOREL_INSTALL_FILES
    !insertmacro ZANDOREL_CHECK "The game's files could not all be written in $INSTDIR."
    ; A first install brings the shipped table; an install over an earlier one, of this version
    ; or another, leaves the player's scores as they are.
    ${If} $MovedTable == ""
    ${AndIfNot} ${FileExists} "$INSTDIR\data\highscores.txt"
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

    ; Last, the table moves, not copied: the old folder keeps nothing of the game's. A table
    ; already in the new folder keeps the better scores of both, by the game's own rule, run by
    ; a helper built from the game's sources in a folder whose name it never has to read.
    ${If} $MovedTable != ""
        ClearErrors
        Rename "$Installed\data\highscores.txt" "$MovedTable"
        !insertmacro ZANDOREL_CHECK "Your high-score table could not be moved from $Installed\data to $INSTDIR\data."
        ${If} $MovedTable != "$INSTDIR\data\highscores.txt"
            ClearErrors
            CreateDirectory "$PLUGINSDIR\before"
            CopyFiles /SILENT "$INSTDIR\data\highscores.txt" "$PLUGINSDIR\before"
            SetOutPath "$INSTDIR\data"
            File "/oname=zandorel-setup-shipped.txt" "${STAGE}\data\highscores.txt"
            File "/oname=$PLUGINSDIR\zandorel-merge-scores.exe" "${MERGE}"
            !insertmacro ZANDOREL_CHECK "Your high scores could not be put together in $INSTDIR\data."
            StrCpy $Merged 1
            ExecWait '"$PLUGINSDIR\zandorel-merge-scores.exe" highscores.txt zandorel-setup-shipped.txt zandorel-setup-moved.txt' $R0
            ${If} ${Errors}
            ${OrIf} $R0 != 0
                SetErrors
            ${EndIf}
            Delete "$INSTDIR\data\zandorel-setup-shipped.txt"
            !insertmacro ZANDOREL_CHECK "Your high scores could not be put together in $INSTDIR\data."
            Delete "$MovedTable"
            !insertmacro ZANDOREL_CHECK "$MovedTable could not be removed."
            StrCpy $Scores "Your high scores from $Installed\data and those already in $INSTDIR\data are one table now, the best five of both, in $INSTDIR\data."
        ${Else}
            StrCpy $Scores "Your high scores moved with the game, from $Installed\data to $INSTDIR\data."
        ${EndIf}
        StrCpy $MovedTable ""
        SetOutPath "$INSTDIR"
        RMDir "$Installed\data"
        RMDir "$Installed"
        DetailPrint "$Scores"
    ${EndIf}
SectionEnd

; Any stop after the installed version was set aside, or after the first write, puts back what
; was there: the table first, then this run's files go (the shipped files by name, the
; uninstaller, the shortcut and the list entry, and the table only when this run brought it),
; then the installed version's files, list entry and shortcut come back from their copies.
Function .onInstFailed
    ${If} $Merged == 1
        CopyFiles /SILENT "$PLUGINSDIR\before\highscores.txt" "$INSTDIR\data"
        Delete "$INSTDIR\data\zandorel-setup-shipped.txt"
    ${EndIf}
    ${If} $MovedTable != ""
    ${AndIf} ${FileExists} "$MovedTable"
        Rename "$MovedTable" "$Installed\data\highscores.txt"
    ${EndIf}
    ${If} $Writing == 1
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
    ${If} $OldGone == 1
        ClearErrors
        CreateDirectory "$Installed"
        CopyFiles /SILENT "$PLUGINSDIR\old\files\*.*" "$Installed"
        ${If} ${Errors}
            StrCpy $Why "$Why$\r$\n$\r$\nThe installed Zandorel could not all be put back in $Installed."
        ${EndIf}
    ${EndIf}
    ${If} $EntryValues != ""
    ${AndIf} $Writing$OldGone != ""
        Call PutEntryBack
        ${If} ${FileExists} "$PLUGINSDIR\old\Zandorel.lnk"
            CopyFiles /SILENT "$PLUGINSDIR\old\Zandorel.lnk" "$SMPROGRAMS"
        ${EndIf}
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

; Stopped by a running game, or a zandorel.exe it may not remove: nothing was removed.
Function un.onUninstFailed
    ${If} $Why != ""
        MessageBox MB_OK|MB_ICONSTOP "Zandorel was not removed.$\r$\n$\r$\n$Why" /SD IDOK
    ${EndIf}
    SetErrorLevel $ExitCode
FunctionEnd
