; Vaultwren's setup program: installs for the current user only, without administrator rights,
; into the user's programs folder, so that the program's own updater can later replace its files.
; The profile (tasks and settings) and the backup destinations belong to the user: installing
; never touches them, uninstalling keeps the destinations always and the profile unless asked.
;
; Built by tools/make-installer.sh, which passes:
;   VERSION       the version text, e.g. 1.10
;   PROGRAM_DIR   the folder holding the shipped programs
;   OUTFILE       the setup program to write
; and the folder of ShippedFiles.nsh (the release build's list of shipped programs) as an
; include folder.
Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include ShippedFiles.nsh
!include "${__FILEDIR__}\RunningCopy.nsh"

!define PRODUCT "Vaultwren"
!define PUBLISHER "Morrowfen"
!define UNINSTALLER "Uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define PROFILE_KEY "Software\${PUBLISHER}\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The updater's working folder below the user's temporary folder (downloads and its copy of Updater.exe).
!define UPDATER_WORK_DIR "$TEMP\Software\${PUBLISHER}\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; Installing again goes to wherever the installed copy lives.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=2052 "LegalCopyright" "${PUBLISHER}"

!define MUI_ABORTWARNING
!define MUI_CUSTOMFUNCTION_ABORT OnSetupAbort
!define MUI_FINISHPAGE_RUN "$INSTDIR\Vaultwren.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

!insertmacro VW_CLOSE_RUNNING_COPY ""
!insertmacro VW_CLOSE_RUNNING_COPY "un."

Function .onInit
  SetShellVarContext current
  Call CloseRunningCopy
FunctionEnd

; The program setup closed runs again, minimised (its window was in the tray), however setup ends:
; installed, failed or cancelled, with or without /S. Not when it runs already (the finish page's
; box started it).
Function RestartClosedCopy
  ${If} $VwClosedProgram != ""
  ${AndIf} ${FileExists} "$VwClosedProgram"
    Call InstanceRunning
    Pop $0
    ${If} $0 = 0
      Exec '"$VwClosedProgram" /Min'
    ${EndIf}
  ${EndIf}
  StrCpy $VwClosedProgram ""
FunctionEnd

Function .onInstSuccess
  Call RestartClosedCopy
FunctionEnd

Function .onInstFailed
  Call RestartClosedCopy
FunctionEnd

Function OnSetupAbort
  Call RestartClosedCopy
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  !insertmacro VW_INSTALL_SHIPPED_FILES
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Vaultwren.exe" "" "$INSTDIR\Vaultwren.exe" 0

  ; The entry that lists the program under the system's installed programs.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Vaultwren.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  SetShellVarContext current
  Call un.CloseRunningCopy
FunctionEnd

Section Uninstall
  !insertmacro VW_DELETE_SHIPPED_FILES
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only an empty folder goes: anything the user put there stays.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; The autorun value goes only when it starts this installation: it may start a portable copy.
  ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
  ${If} $0 != ""
    StrCpy $2 '"$INSTDIR\Vaultwren.exe"'
    System::Call 'shlwapi::StrStrIW(w r0, w r2) p.r1'
    ${If} $1 P<> 0
      DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
    ${EndIf}
  ${EndIf}
  RMDir /r "${UPDATER_WORK_DIR}"
  RMDir "$TEMP\Software\${PUBLISHER}"
  RMDir "$TEMP\Software"

  ; The tasks name the user's backup destinations; those are never touched. The profile goes
  ; only when the user says so; a silent uninstall keeps it.
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
    "要同时删除 ${PRODUCT} 的备份任务和设置吗？$\r$\n$\r$\n备份文件夹中已备份的文件不会被删除。" \
    /SD IDNO IDNO keep_profile
    DeleteRegKey HKCU "${PROFILE_KEY}"
    DeleteRegKey /ifempty HKCU "Software\${PUBLISHER}"
  keep_profile:
SectionEnd
