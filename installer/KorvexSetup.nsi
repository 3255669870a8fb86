; KorvexSetup.exe: installs the program folder for the current user, without
; administrator rights, where the program may write next to itself.
;   makensis -DVERSIE=a.b.c.d -DBRON=<installed folder> -DLIJST=<entries.nsh>
;            -DUIT=<KorvexSetup.exe> KorvexSetup.nsi
; /S installs silently, /D=<folder> (last, unquoted) chooses the folder.
; Over an earlier version only the program's own files are replaced; the
; settings file, the .zkd files and the working folders stay as they are.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh

!define PRODUCT "Zelvo Korvex SQL Server"
!define SLEUTEL "Software\Zelvo\KorvexSQL"
!define UNINSTALL "Software\Microsoft\Windows\CurrentVersion\Uninstall\KorvexSQL"
!define SNELKOPPELING "$SMPROGRAMS\Zelvo Korvex SQL Server.lnk"
; The new files are unpacked beside the old ones first and only then moved
; into place, so a failure half-way leaves the installed version whole.
!define NIEUW "$INSTDIR\~KorvexSetup-nieuw"
!define OUD "$INSTDIR\~KorvexSetup-oud"

Name "${PRODUCT} ${VERSIE}"
OutFile "${UIT}"
InstallDir "$LOCALAPPDATA\Programs\Zelvo\KorvexSQL"
InstallDirRegKey HKCU "${SLEUTEL}" "InstallDir"
BrandingText "Zelvo"

VIProductVersion "${VERSIE}"
VIFileVersion "${VERSIE}"
VIAddVersionKey /LANG=1043 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1043 "CompanyName" "Zelvo"
VIAddVersionKey /LANG=1043 "FileDescription" "Installatie van ${PRODUCT}"
VIAddVersionKey /LANG=1043 "FileVersion" "${VERSIE}"
VIAddVersionKey /LANG=1043 "ProductVersion" "${VERSIE}"
VIAddVersionKey /LANG=1043 "LegalCopyright" "Copyright © Zelvo"

!define MUI_ABORTWARNING
; The default title names the whole product and version and runs out of its box.
!define MUI_FINISHPAGE_TITLE "Installatie voltooid"
!define MUI_FINISHPAGE_RUN "$INSTDIR\KorvexSQL.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Dutch"

Var Fout
Var Pogingen

; The program's own entries, generated from the installed folder, one line
; each: ${ENTRY}Bestand "name" or ${ENTRY}Map "name", where ENTRY names the
; step: Plaats (move the new one in), Terug (put the old one back), Weg.
!macro Plaats NAAM
  ${If} $Fout == ""
    ClearErrors
    ${If} ${FileExists} "$INSTDIR\${NAAM}"
      Rename "$INSTDIR\${NAAM}" "${OUD}\${NAAM}"
    ${EndIf}
    ${IfNot} ${Errors}
      Rename "${NIEUW}\${NAAM}" "$INSTDIR\${NAAM}"
    ${EndIf}
    ${If} ${Errors}
      StrCpy $Fout "${NAAM}"
    ${EndIf}
  ${EndIf}
!macroend
!macro PlaatsBestand NAAM
  !insertmacro Plaats "${NAAM}"
!macroend
!macro PlaatsMap NAAM
  !insertmacro Plaats "${NAAM}"
!macroend
!macro TerugBestand NAAM
  ${If} ${FileExists} "${OUD}\${NAAM}"
    Delete "$INSTDIR\${NAAM}"
    Rename "${OUD}\${NAAM}" "$INSTDIR\${NAAM}"
  ${EndIf}
!macroend
!macro TerugMap NAAM
  ${If} ${FileExists} "${OUD}\${NAAM}\*.*"
    RMDir /r "$INSTDIR\${NAAM}"
    Rename "${OUD}\${NAAM}" "$INSTDIR\${NAAM}"
  ${EndIf}
!macroend
!macro WegBestand NAAM
  Delete "$INSTDIR\${NAAM}"
!macroend
!macro WegMap NAAM
  RMDir /r "$INSTDIR\${NAAM}"
!macroend

; A running KorvexSQL.exe cannot be opened for writing. Silently (as the
; updater runs it) the installer waits for it up to 30 s and then gives up;
; with its pages it asks at once to close it.
!macro WachtOpProgramma
  StrCpy $Pogingen 0
  ${Do}
    ${IfNot} ${FileExists} "$INSTDIR\KorvexSQL.exe"
      ${Break}
    ${EndIf}
    ClearErrors
    FileOpen $0 "$INSTDIR\KorvexSQL.exe" a
    ${IfNot} ${Errors}
      FileClose $0
      ${Break}
    ${EndIf}
    IntOp $Pogingen $Pogingen + 1
    ${If} ${Silent}
    ${AndIf} $Pogingen < 60
      Sleep 500
      ${Continue}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "Zelvo Korvex SQL Server is nog geopend ($INSTDIR\KorvexSQL.exe).$\r$\n$\r$\nSluit het programma en kies Opnieuw, of kies Annuleren om te stoppen zonder iets te wijzigen." \
      /SD IDCANCEL IDRETRY +3
    SetErrorLevel 3
    Quit
    StrCpy $Pogingen 0
  ${Loop}
!macroend

Section "Programma"
  SetOutPath "$INSTDIR"
  !insertmacro WachtOpProgramma
  RMDir /r "${NIEUW}"
  RMDir /r "${OUD}"
  ClearErrors
  SetOutPath "${NIEUW}"
  File /r "${BRON}/*"
  CreateDirectory "${OUD}"
  ${If} ${Errors}
    SetOutPath "$INSTDIR"
    RMDir /r "${NIEUW}"
    RMDir /r "${OUD}"
    MessageBox MB_OK|MB_ICONSTOP "De bestanden van Zelvo Korvex SQL Server ${VERSIE} konden niet in $INSTDIR worden uitgepakt. Er is niets gewijzigd." /SD IDOK
    SetErrorLevel 4
    Quit
  ${EndIf}

  SetOutPath "$INSTDIR"
  StrCpy $Fout ""
  !define ENTRY "!insertmacro Plaats"
  !include "${LIJST}"
  !undef ENTRY
  ${If} $Fout != ""
    ; Back to the previous version, entry by entry.
    !define ENTRY "!insertmacro Terug"
    !include "${LIJST}"
    !undef ENTRY
    RMDir /r "${NIEUW}"
    RMDir /r "${OUD}"
    MessageBox MB_OK|MB_ICONSTOP "$Fout kon niet in $INSTDIR worden geplaatst. De vorige versie is teruggezet." /SD IDOK
    SetErrorLevel 5
    Quit
  ${EndIf}
  RMDir /r "${NIEUW}"
  RMDir /r "${OUD}"
  CreateDirectory "$INSTDIR\TempDownloads"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortCut "${SNELKOPPELING}" "$INSTDIR\KorvexSQL.exe" "" "$INSTDIR\KorvexSQL.exe" 0
  WriteRegStr HKCU "${SLEUTEL}" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL}" "DisplayVersion" "${VERSIE}"
  WriteRegStr HKCU "${UNINSTALL}" "Publisher" "Zelvo"
  WriteRegStr HKCU "${UNINSTALL}" "DisplayIcon" "$INSTDIR\KorvexSQL.exe"
  WriteRegStr HKCU "${UNINSTALL}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  !insertmacro WachtOpProgramma
  ; Only the program's own files: settings, .zkd files and working folders stay.
  !define ENTRY "!insertmacro Weg"
  !include "${LIJST}"
  !undef ENTRY
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR\TempDownloads"
  RMDir "$INSTDIR"
  Delete "${SNELKOPPELING}"
  DeleteRegKey HKCU "${UNINSTALL}"
  DeleteRegKey HKCU "${SLEUTEL}"
SectionEnd
