; The Windows setup program. It installs the game for the player who runs it, with no
; administrator rights, into that player's own programs folder, where the high-score table in
; data\ is theirs to write; it adds a Start-menu entry and an entry in the list of installed
; programs, and writes an uninstaller that keeps the player's table.
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
VIAddVersionKey "FileDescription" "Zandorel ${VERSION} setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${COPYRIGHT}. Released under the MIT licence."

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; $Kept is read when the page shows, after the uninstaller has looked for the table.
Var Kept
!define MUI_FINISHPAGE_TEXT "Zandorel has been removed from your computer.$\r$\n$\r$\n$Kept"
!insertmacro MUI_UNPAGE_FINISH
!insertmacro MUI_LANGUAGE "English"

Section
    !insertmacro ZANDOREL_INSTALL_FILES
    ; A first install brings the shipped table; an install over an earlier one, of this version
    ; or another, leaves the player's scores as they are.
    SetOutPath "$INSTDIR\data"
    SetOverwrite off
    File "${STAGE}\data\highscores.txt"
    SetOverwrite on
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The game reads graphics\ and data\ from the folder it starts in: the entry's working folder,
    ; which is the output folder at the time the entry is made.
    SetOutPath "$INSTDIR"
    CreateShortCut "$SMPROGRAMS\Zandorel.lnk" "$INSTDIR\zandorel.exe" "" "$INSTDIR\zandorel.exe" 0

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
SectionEnd

Section "Uninstall"
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
