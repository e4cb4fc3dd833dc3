; The Windows installer: both programs under Program Files, a Start-menu entry, an entry in
; Explorer's Send-to menu for the user who installs and an uninstaller listed in Windows' settings.
; It takes no file association, since .zel files belong to the main application; the window
; program is only offered in Explorer's "Open with" list, which passes every selected file to one
; program, as Send to does.
;
;   makensis -DVERSION=<major.minor.build> -DFILE_VERSION=<major.minor.0.build>
;            -DSTAGE=<folder with the programs> -DICON=<zelconv.ico> -DOUTFILE=<setup.exe> zelconv.nsi
;
; scripts/package-windows.sh runs it, with the version of CMakeLists.txt. The texts are Unicode;
; the 64-bit stub needs no 32-bit Windows layer (or 32-bit wine) to run.
Unicode true
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma

!include "MUI2.nsh"

!define APP_NAME "カルトゥーバ　データ変換"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZelConv"
!define OPEN_WITH_KEY "Software\Classes\Applications\zelconv.exe"
!define SEND_TO_NAME "カルトゥーバ データ変換"

Name "${APP_NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\ZelConv"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
BrandingText "${APP_NAME} ${VERSION}"

VIProductVersion "${FILE_VERSION}"
VIFileVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=1041 "ProductName" "${APP_NAME}"
VIAddVersionKey /LANG=1041 "FileDescription" "${APP_NAME} セットアップ"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "Copyright (C) 2000 TALMO Dev. Corp."

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; The installer runs as administrator, and a program it started would too: Windows keeps drops from
; Explorer away from such a program. Explorer starts it instead, as the user who is logged on.
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION RunAsTheUser
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Function RunAsTheUser
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\zelconv.exe"'
FunctionEnd

Section "Install"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE}\zelconv.exe"
  File "${STAGE}\zelconv-cli.exe"
  File "${STAGE}\README-ja.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${APP_NAME}.lnk" "$INSTDIR\zelconv.exe" "" "$INSTDIR\zelconv.exe" 0
  ; Windows has no Send-to folder for all users: the entry is the installing user's (README-ja.txt
  ; tells another user how to add it).
  SetShellVarContext current
  CreateShortcut "$SENDTO\${SEND_TO_NAME}.lnk" "$INSTDIR\zelconv.exe" "" "$INSTDIR\zelconv.exe" 0
  SetShellVarContext all

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${APP_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zelconv.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  ; "Open with" only: no default program for .zel.
  WriteRegStr HKLM "${OPEN_WITH_KEY}" "FriendlyAppName" "${APP_NAME}"
  WriteRegStr HKLM "${OPEN_WITH_KEY}\SupportedTypes" ".zel" ""
  ; Several selected files go to one program, which shows them in its batch window.
  WriteRegStr HKLM "${OPEN_WITH_KEY}\shell\open" "MultiSelectModel" "Player"
  WriteRegStr HKLM "${OPEN_WITH_KEY}\shell\open\command" "" '"$INSTDIR\zelconv.exe" "%1" %*'
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\${APP_NAME}.lnk"
  SetShellVarContext current
  Delete "$SENDTO\${SEND_TO_NAME}.lnk"
  SetShellVarContext all
  Delete "$INSTDIR\zelconv.exe"
  Delete "$INSTDIR\zelconv-cli.exe"
  Delete "$INSTDIR\README-ja.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${OPEN_WITH_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
