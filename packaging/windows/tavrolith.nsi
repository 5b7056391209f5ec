; SPDX-License-Identifier: GPL-2.0-or-later
; The Windows installer, made by scripts/windows-packages.sh, which passes
;   VERSION  1.3.9          STAGE  folder with the files of the ZIP
;   ARCH     x86 or amd64   OUTFILE the installer to write
;   FILES    include file with one File line per file of STAGE
;   REMOVES  include file with the matching Delete lines
;   WINDOW   defined when the window program tavrolith.exe is shipped
; and the Target (x86-unicode or amd64-unicode) with -X.
;
; The programs go to Program Files, where users cannot write. The Start-menu
; shortcuts therefore start in the user's own folder Dokumente\Tavrolith,
; which the installer makes and gives a copy of the device library:
; QUENVALD.INI and 8789LIST.CSV are read from and written to the working
; folder. That folder is the user's data and stays at uninstallation.

Unicode true
!include "MUI2.nsh"

Name "Tavrolith ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
!if "${ARCH}" == "amd64"
  InstallDir "$PROGRAMFILES64\Tavrolith"
!else
  InstallDir "$PROGRAMFILES\Tavrolith"
!endif
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavrolith"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1031 "ProductName" "Tavrolith"
VIAddVersionKey /LANG=1031 "FileDescription" "Tavrolith ${VERSION} Installation"
VIAddVersionKey /LANG=1031 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1031 "LegalCopyright" "GPL-2.0-or-later"

!define MUI_FINISHPAGE_TITLE "Tavrolith ist installiert"
!define MUI_FINISHPAGE_TEXT "Arbeitsordner (Einstellungen, Bausteinliste, Programmdateien):$\r$\n\
Dokumente\Tavrolith$\r$\n$\r$\n\
Für den Brenner braucht Windows einen Portzugriff:$\r$\n\
- 64-Bit-Windows: die Portbibliothek InpOutx64 (inpoutx64.dll) von www.highrez.co.uk in den Programmordner oder den Arbeitsordner legen und Tavrolith einmal als Administrator starten.$\r$\n\
- 32-Bit-Windows: giveio.sys in den Arbeitsordner oder inpout32.dll wie oben; einmal als Administrator starten.$\r$\n$\r$\n\
Ohne Portzugriff läuft Tavrolith im Demomodus (Portzugriff.txt)."
!insertmacro MUI_PAGE_LICENSE "${STAGE}\COPYING.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "German"

Function .onInit
  !if "${ARCH}" == "amd64"
    SetRegView 64
  !endif
FunctionEnd

Function un.onInit
  !if "${ARCH}" == "amd64"
    SetRegView 64
  !endif
FunctionEnd

Section "Tavrolith"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  !include "${FILES}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The working folder: a library the user may edit, never overwritten.
  CreateDirectory "$DOCUMENTS\Tavrolith"
  IfFileExists "$DOCUMENTS\Tavrolith\8789LIST.CSV" +2
    CopyFiles /SILENT "$INSTDIR\8789LIST.CSV" "$DOCUMENTS\Tavrolith"

  ; A shortcut's working folder is the output path at its creation.
  SetOutPath "$DOCUMENTS\Tavrolith"
  CreateDirectory "$SMPROGRAMS\Tavrolith"
  !ifdef WINDOW
    CreateShortCut "$SMPROGRAMS\Tavrolith\Tavrolith.lnk" "$INSTDIR\tavrolith.exe"
  !endif
  ; The command line in a console that starts in the working folder.
  CreateShortCut "$SMPROGRAMS\Tavrolith\Tavrolith Kommandozeile.lnk" "$SYSDIR\cmd.exe" \
    '/k set "PATH=$INSTDIR;%PATH%" && tavrolith-cli --help'
  CreateShortCut "$SMPROGRAMS\Tavrolith\Arbeitsordner.lnk" "$DOCUMENTS\Tavrolith"
  CreateShortCut "$SMPROGRAMS\Tavrolith\Tavrolith deinstallieren.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tavrolith ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tavrolith"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  ; Only the files this installer put there: the folder may have been
  ; chosen by hand and hold other things.
  !include "${REMOVES}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Tavrolith\*.lnk"
  RMDir "$SMPROGRAMS\Tavrolith"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
