; Vandrel1's installer for 64-bit Windows, made by the `installer` target:
;   makensis -DVERSION=0.2.0 -DFOLDER=<program files> -DOUTFILE=<setup.exe> -DICON=<.ico>
;            -DFILES_INSTALL=<install.nsh> -DFILES_UNINSTALL=<uninstall.nsh> [-DWINDOW_EXE=vandrel1.exe]
;            vandrel1.nsi
; The file lists come from the folder (nsis-files.cmake), so the uninstaller
; removes what the installer wrote and nothing else: the user's settings under
; HKCU\Software\Ostmerin\Vandrel1 stay. /S installs and uninstalls silently.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vandrel1"

Name "Vandrel1 ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vandrel1"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Vandrel1 ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Vandrel1"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Vandrel1 ${VERSION} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "Ostmerin"
VIAddVersionKey /LANG=1033 "LegalCopyright" "2026 Ostmerin and the Vandrel1 contributors, GPL-3.0-or-later"

!include "MUI2.nsh"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${FOLDER}/LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Vandrel1"
  SetShellVarContext all
  !include "${FILES_INSTALL}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
!ifdef WINDOW_EXE
  CreateShortcut "$SMPROGRAMS\Vandrel1.lnk" "$INSTDIR\${WINDOW_EXE}" "" "$INSTDIR\${WINDOW_EXE}" 0
!endif

  ; Windows' list of installed apps.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Vandrel1"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Ostmerin"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\uninstall.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\uninstall.exe$\""
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" "$\"$INSTDIR\uninstall.exe$\" /S"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize 0 $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  !include "${FILES_UNINSTALL}"
!ifdef WINDOW_EXE
  Delete "$SMPROGRAMS\Vandrel1.lnk"
!endif
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
