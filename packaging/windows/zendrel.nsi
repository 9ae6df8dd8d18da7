; The Windows setup program. Built by `make windows-installer`:
;   makensis -DVERSION=VERSION -DPROGRAM=zendrel.exe -DLICENSE=LICENSE -DOUTFILE=zendrel-VERSION-setup.exe zendrel.nsi
; VERSION is project(VERSION) of CMakeLists.txt.
; A 64-bit installer for a 64-bit program: it installs below the 64-bit Program Files and registers its uninstaller in
; the 64-bit registry, where Add/Remove Programs looks.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!define NAME "Zendrel"
!ifndef VERSION
  !error "VERSION must be given: makensis -DVERSION=..."
!endif
!define PUBLISHER "Zendrel developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zendrel"
; The program's own names for its service and its autostart shortcut.
!define SERVICE "Zendrel_Service"
!define STARTUP_LINK "Zendrel.lnk"

Name "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${NAME}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
ShowInstDetails nevershow
ShowUninstDetails nevershow

Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles
LicenseData "${LICENSE}"

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Zendrel"
  SetOutPath "$INSTDIR"
  File "/oname=zendrel.exe" "${PROGRAM}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\${NAME}"
  CreateShortcut "$SMPROGRAMS\${NAME}\${NAME}.lnk" "$INSTDIR\zendrel.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zendrel.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; A service left behind would start a program that is gone at every boot; sc answers an error when there is none.
  nsExec::Exec '"$SYSDIR\sc.exe" stop ${SERVICE}'
  Pop $0
  nsExec::Exec '"$SYSDIR\sc.exe" delete ${SERVICE}'
  Pop $0
  ; The program puts its autostart shortcut into the common Startup folder, or the user's when that was refused.
  Delete "$SMSTARTUP\${STARTUP_LINK}"
  SetShellVarContext current
  Delete "$SMSTARTUP\${STARTUP_LINK}"
  SetShellVarContext all

  Delete "$SMPROGRAMS\${NAME}\${NAME}.lnk"
  RMDir "$SMPROGRAMS\${NAME}"
  Delete "$INSTDIR\zendrel.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; The settings and logs in the data folder are the user's: they stay for a later installation.
SectionEnd
