; The Windows setup program. It installs the game for the player who runs it, with no
; administrator rights, into that player's own programs folder, where the high-score table in
; data\ is theirs to write; it adds a Start-menu entry and an entry in the list of installed
; programs, and writes an uninstaller that keeps the player's table.
;
; It never costs the player the game or the scores. A running game stops it before anything is
; changed, and so does a folder this account may not write. An installed version is copied aside
; before its own uninstaller removes it, and so is a game already in the folder without one (the
; zip, unpacked there). Each step that changes something records its undo as it succeeds; any
; failure from then on (a file that cannot be written, a full disk, the player's Cancel) runs
; the undos, newest first, each checked: this run's files go by name, and what was set aside
; comes back, the installed version's files, list entry and Start-menu entry, the player's table
; as it was. On a first install nothing is left. Installed into another folder than the installed
; version's, the player's table goes along, merged by the game's own rule with a table already
; there (dist/windows/merge-scores.cpp), and the old folder keeps nothing of the game's.
; Its exit status, and the uninstaller's, tells a silent run what happened:
;   0 done; 1 cancelled by the player (NSIS's own);
;   3 Zandorel is running from the folder, so its files cannot be replaced: nothing was changed;
;   4 a file could not be written or set aside (a folder this account may not write, a full
;     disk, a read-only zandorel.exe this account may not make writable): everything is as it
;     was before the run;
;   5 as 4, but something could not be put back as it was: the message names each such thing
;     and where its copy is kept (a folder "Zandorel setup ..." in the player's TEMP folder).
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
; The undo of each step that changed something, recorded as the step succeeds, newest first: the
; functions' addresses, each followed by |. A failure runs them all, in that order.
Var Undo
; What the undos could not put back, for the player, each with where its copy is kept.
Var NotBack
; Where this run sets aside what it may have to put back; removed once nothing needs it.
Var Copies
; The folder the list of installed programs names, where an earlier install lies.
Var Installed
; How many of the installed version's list-entry values lie on the stack (empty: none kept).
Var EntryValues
; Where the player's table from $Installed now lies in $INSTDIR, until the run is done.
Var MovedTable

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

; Records the undo of the step about to change something, to run before the undos already
; recorded.
!macro ZANDOREL_UNDO function
    GetFunctionAddress $R9 ${function}
    StrCpy $Undo "$R9|$Undo"
!macroend

; The error flag after an undo's step: set, the player is told what could not be put back and
; where its copy is kept, and the setup exits with status 5.
!macro ZANDOREL_NOT_BACK what copy
    ${If} ${Errors}
        StrCpy $NotBack "$NotBack$\r$\n${what} could not be put back as it was; ${copy}"
        StrCpy $ExitCode 5
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
    ; The player's own copy, should it not go back: each value's name, kind and value.
    FileOpen $R0 "$Copies\list entry.txt" w
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
        FileWrite $R0 "$R1 ($R3): $R2$\r$\n"
        IntOp $EntryValues $EntryValues + 1
    ${Loop}
    FileClose $R0
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

    ; The copies live beside the setup's scratch folder, not in it: that one goes when the setup
    ; ends, and a copy that could not be put back must stay for the player.
    InitPluginsDir
    ${GetFileName} "$PLUGINSDIR" $R0
    StrCpy $Copies "$TEMP\Zandorel setup $R0"
    ClearErrors
    CreateDirectory "$Copies"
    !insertmacro ZANDOREL_CHECK "$Copies could not be made, to set aside what the setup changes."

    ; The list entry and the Start-menu entry are put back as they were, whatever changes them:
    ; the installed version's uninstaller, or this run.
    ${If} $Installed != ""
        Call KeepEntry
        ${If} ${FileExists} "$SMPROGRAMS\Zandorel.lnk"
            ClearErrors
            CopyFiles /SILENT "$SMPROGRAMS\Zandorel.lnk" "$Copies"
            !insertmacro ZANDOREL_CHECK "The Start-menu entry of the installed Zandorel could not be set aside."
        ${EndIf}
    ${EndIf}
    !insertmacro ZANDOREL_UNDO UndoEntries

    ; An upgrade replaces: the installed version's own uninstaller, run in place, removes the
    ; files that version shipped (a level this one no longer has among them) and keeps the
    ; player's table; then this version's files go in. Everything it removes is copied aside
    ; first (the table, which it keeps, excepted), so that a failure can put it back.
    ${If} $Installed != ""
    ${AndIf} ${FileExists} "$Installed\uninstall.exe"
        ClearErrors
        CreateDirectory "$Copies\installed"
        CopyFiles /SILENT "$Installed\*.*" "$Copies\installed"
        !insertmacro ZANDOREL_CHECK "The installed Zandorel in $Installed could not be set aside."
        Delete "$Copies\installed\data\highscores.txt"
        !insertmacro ZANDOREL_UNDO UndoUninstall
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

    ; A folder that holds the game with no uninstaller (the zip, unpacked) is the player's as it
    ; stands: it is copied aside too, and this run's files are written over it.
    ${If} ${FileExists} "$INSTDIR\zandorel.exe"
        ClearErrors
        CreateDirectory "$Copies\here"
        CopyFiles /SILENT "$INSTDIR\*.*" "$Copies\here"
        !insertmacro ZANDOREL_CHECK "The Zandorel already in $INSTDIR could not be set aside."
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

    !insertmacro ZANDOREL_UNDO UndoFiles
    ClearErrors
    !insertmacro ZANDOREL_INSTALL_FILES
    !insertmacro ZANDOREL_CHECK "The game's files could not all be written in $INSTDIR."
    ; A first install brings the shipped table; an install over an earlier one, of this version
    ; or another, leaves the player's scores as they are.
    ${If} $MovedTable == ""
    ${AndIfNot} ${FileExists} "$INSTDIR\data\highscores.txt"
        !insertmacro ZANDOREL_UNDO UndoTable
        SetOutPath "$INSTDIR\data"
        ClearErrors
        File "${STAGE}\data\highscores.txt"
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
        !insertmacro ZANDOREL_UNDO UndoMove
        ${If} $MovedTable != "$INSTDIR\data\highscores.txt"
            ClearErrors
            CreateDirectory "$Copies\table"
            CopyFiles /SILENT "$INSTDIR\data\highscores.txt" "$Copies\table"
            SetOutPath "$INSTDIR\data"
            File "/oname=zandorel-setup-shipped.txt" "${STAGE}\data\highscores.txt"
            File "/oname=$PLUGINSDIR\zandorel-merge-scores.exe" "${MERGE}"
            !insertmacro ZANDOREL_CHECK "Your high scores could not be put together in $INSTDIR\data."
            ; The helper replaces the table whole or not at all: what it wrote is undone only
            ; once it says it did.
            ExecWait '"$PLUGINSDIR\zandorel-merge-scores.exe" highscores.txt zandorel-setup-shipped.txt zandorel-setup-moved.txt' $R0
            ${If} ${Errors}
            ${OrIf} $R0 != 0
                SetErrors
            ${Else}
                !insertmacro ZANDOREL_UNDO UndoMerge
            ${EndIf}
            Delete "$INSTDIR\data\zandorel-setup-shipped.txt"
            !insertmacro ZANDOREL_CHECK "Your high scores could not be put together in $INSTDIR\data."
            Delete "$MovedTable"
            !insertmacro ZANDOREL_CHECK "$MovedTable could not be removed."
            StrCpy $Scores "Your high scores from $Installed\data and those already in $INSTDIR\data are one table now, the best five of both, in $INSTDIR\data."
        ${Else}
            StrCpy $Scores "Your high scores moved with the game, from $Installed\data to $INSTDIR\data."
        ${EndIf}
        SetOutPath "$INSTDIR"
        RMDir "$Installed\data"
        RMDir "$Installed"
        DetailPrint "$Scores"
    ${EndIf}
    SetOutPath "$INSTDIR"
    RMDir /r "$Copies"
SectionEnd

; The undos, each checked. Each names what it could not put back, and where its copy stays.

; The merged table goes, and the one that was in $INSTDIR comes back.
Function UndoMerge
    ClearErrors
    CopyFiles /SILENT "$Copies\table\highscores.txt" "$INSTDIR\data"
    !insertmacro ZANDOREL_NOT_BACK "The high-score table in $INSTDIR\data" "its copy is kept in $Copies\table."
    Delete "$INSTDIR\data\zandorel-setup-shipped.txt"
FunctionEnd

; The player's table moves back to where it was.
Function UndoMove
    ClearErrors
    ${If} ${FileExists} "$MovedTable"
        Rename "$MovedTable" "$Installed\data\highscores.txt"
    ${EndIf}
    !insertmacro ZANDOREL_NOT_BACK "Your high-score table from $Installed\data" "it is kept in $MovedTable."
FunctionEnd

; This run's files go, by name, and what was in the folder before comes back from its copy.
Function UndoFiles
    ClearErrors
    !insertmacro ZANDOREL_REMOVE_FILES
    Delete "$INSTDIR\uninstall.exe"
    IfFileExists "$INSTDIR\uninstall.exe\*.*" +3
    IfFileExists "$INSTDIR\uninstall.exe" 0 +2
    SetErrors
    !insertmacro ZANDOREL_NOT_BACK "The files this setup wrote in $INSTDIR" "the game that was there is kept in $Copies."
    ${If} ${FileExists} "$Copies\here\*.*"
        ClearErrors
        CopyFiles /SILENT "$Copies\here\*.*" "$INSTDIR"
        !insertmacro ZANDOREL_NOT_BACK "The Zandorel that was in $INSTDIR" "its copy is kept in $Copies\here."
    ${EndIf}
    RMDir "$INSTDIR\graphics"
    RMDir "$INSTDIR\data"
    RMDir "$INSTDIR"
FunctionEnd

; The shipped table this run brought goes: it was not the player's.
Function UndoTable
    ClearErrors
    Delete "$INSTDIR\data\highscores.txt"
    !insertmacro ZANDOREL_NOT_BACK "The shipped high-score table in $INSTDIR\data" "remove it by hand."
FunctionEnd

; The installed version comes back from its copy.
Function UndoUninstall
    ClearErrors
    CreateDirectory "$Installed"
    CopyFiles /SILENT "$Copies\installed\*.*" "$Installed"
    !insertmacro ZANDOREL_NOT_BACK "The installed Zandorel in $Installed" "its copy is kept in $Copies\installed."
FunctionEnd

; The list entry and the Start-menu entry as they were: the installed version's, or none.
Function UndoEntries
    ; DeleteRegKey sets the error flag for a key that was not there either: what counts is
    ; whether it is gone.
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ClearErrors
    EnumRegValue $R1 HKCU "${UNINSTALL_KEY}" 0
    ${If} ${Errors}
    ${OrIf} $R1 == ""
        ClearErrors
    ${Else}
        SetErrors
    ${EndIf}
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
    !insertmacro ZANDOREL_NOT_BACK "The entry in the list of installed programs" "its values are kept in $Copies\list entry.txt."
    ClearErrors
    Delete "$SMPROGRAMS\Zandorel.lnk"
    ${If} ${FileExists} "$Copies\Zandorel.lnk"
        CopyFiles /SILENT "$Copies\Zandorel.lnk" "$SMPROGRAMS"
    ${EndIf}
    !insertmacro ZANDOREL_NOT_BACK "The Start-menu entry" "its copy is kept in $Copies."
FunctionEnd

; Any stop after the first change runs the undos, newest first. Where all of them worked,
; everything is as it was and the copies go (status 4); where one did not, the player is told
; what and where its copy is, and the copies stay (status 5).
Function .onInstFailed
    ${DoUntil} $Undo == ""
        StrCpy $R0 0
        ${Do}
            StrCpy $R1 $Undo 1 $R0
            ${If} $R1 == "|"
                ${Break}
            ${EndIf}
            IntOp $R0 $R0 + 1
        ${Loop}
        StrCpy $R1 $Undo $R0
        IntOp $R0 $R0 + 1
        StrCpy $Undo $Undo "" $R0
        Call $R1
    ${Loop}
    ${If} $NotBack != ""
        StrCpy $Why "$Why$\r$\n$NotBack"
        ; Said beside the copies too, for a silent run and for later.
        FileOpen $R0 "$Copies\What could not be put back.txt" w
        FileWrite $R0 "Zandorel was not installed.$\r$\n$\r$\n$Why$\r$\n"
        FileClose $R0
    ${ElseIf} $Copies != ""
        RMDir /r "$Copies"
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
