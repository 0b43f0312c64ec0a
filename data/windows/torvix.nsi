; The Windows installer of Torvix, made by scripts/windows-package.sh:
;   makensis -DVERSION=1.6 -DFILES=installed-files.nsh -DICON=torvix.ico
;            -DOUTFILE=Torvix-1.6-setup.exe -DSTAGE=folder torvix.nsi
; Installs into Program Files for every user, with a Start-menu entry, the
; .nltrack file type and an uninstaller in the system's list of programs.
; /S installs (and the uninstaller uninstalls) without asking anything.
; A 64-bit installer: it runs where the programs run, also under a wine without 32-bit support.
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"
!include "x64.nsh"
!include "${FILES}"

!define APP "Torvix"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Torvix"
!define FILE_TYPE "Torvix.Track"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${APP}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
BrandingText "${APP} ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${APP}"
VIAddVersionKey "FileDescription" "${APP} ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "The Torvix developers"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\torvix.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "Torvix needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Torvix"
  SetOutPath "$INSTDIR"
  !insertmacro TorvixInstallFiles
  ; Its presence tells the programs that they are an installed copy, which
  ; keeps its settings in %APPDATA%\Torvix instead of its own folder.
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\torvix.exe" "" "$INSTDIR\torvix.exe" 0

  ; The .nltrack file type: a double-click opens the window with the track.
  WriteRegStr HKLM "Software\Classes\.nltrack" "" "${FILE_TYPE}"
  WriteRegStr HKLM "Software\Classes\${FILE_TYPE}" "" "NoLimits track"
  WriteRegStr HKLM "Software\Classes\${FILE_TYPE}\DefaultIcon" "" "$INSTDIR\torvix.exe,0"
  WriteRegStr HKLM "Software\Classes\${FILE_TYPE}\shell\open\command" "" '"$INSTDIR\torvix.exe" "%1"'
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${APP} ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Torvix developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\torvix.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  !insertmacro TorvixUninstallFiles
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${APP}.lnk"

  ; The file type only while it is still ours.
  ReadRegStr $0 HKLM "Software\Classes\.nltrack" ""
  StrCmp $0 "${FILE_TYPE}" 0 +2
    DeleteRegKey HKLM "Software\Classes\.nltrack"
  DeleteRegKey HKLM "Software\Classes\${FILE_TYPE}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; The user's settings in %APPDATA%\Torvix stay, as on Linux.
SectionEnd
