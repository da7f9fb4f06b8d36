; A running Vaultwren.exe or VaultwrenCmd.exe holds the mutex "CVaultwren" and keeps its program
; file open; setup and uninstall first ask the window to exit and wait for the mutex to go.
; Vaultwren.exe's window has the class "CVaultwren"; closing it only hides it in the tray, so
; the tray menu's exit command (32789) is what ends the program.
;   !insertmacro VW_CLOSE_RUNNING_COPY ""     defines CloseRunningCopy for the setup program
;   !insertmacro VW_CLOSE_RUNNING_COPY "un."  defines un.CloseRunningCopy for the uninstaller
; Both quit with exit code 2 when the user declines or the program does not end. The program file
; of a window closed here is left in $VwClosedProgram, so that setup can start it again.

!define VW_INSTANCE_NAME "CVaultwren"
!define VW_EXIT_COMMAND 32789
!define VW_SYNCHRONIZE 0x00100000
!define VW_QUERY_AND_SYNCHRONIZE 0x00101000  ; PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE

Var VwClosedProgram

!macro VW_CLOSE_RUNNING_COPY UN
Function ${UN}InstanceRunning
  ; Pushes 1 while any copy holds the mutex, else 0.
  System::Call 'kernel32::OpenMutexW(i ${VW_SYNCHRONIZE}, i 0, w "${VW_INSTANCE_NAME}") p.r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    Push 1
  ${Else}
    Push 0
  ${EndIf}
FunctionEnd

Function ${UN}CloseRunningCopy
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  FindWindow $0 "${VW_INSTANCE_NAME}"
  ${If} $0 <> 0
    MessageBox MB_OKCANCEL|MB_ICONQUESTION \
      "Vaultwren 正在运行，需要先退出它。$\r$\n$\r$\n按“确定”退出 Vaultwren 并继续，按“取消”放弃。" \
      /SD IDOK IDOK close_window
    Goto give_up
  close_window:
    ; The program releases its mutex before its process has ended and let go of its file: wait
    ; for the process itself. A running backup is stopped first; give it a while.
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
    System::Call 'kernel32::OpenProcess(i ${VW_QUERY_AND_SYNCHRONIZE}, i 0, i r1) p.r2'
    ${If} $2 P<> 0
      StrCpy $3 ${NSIS_MAX_STRLEN}
      System::Call 'kernel32::QueryFullProcessImageNameW(p r2, i 0, w .r4, *i r3) i.r3'
      ${If} $3 <> 0
        StrCpy $VwClosedProgram $4
      ${EndIf}
    ${EndIf}
    SendMessage $0 ${WM_COMMAND} ${VW_EXIT_COMMAND} 0 /TIMEOUT=5000
    ${If} $2 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p r2, i 15000)'
      System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
  ${EndIf}

  ; A copy without a window (VaultwrenCmd.exe at work) ends by itself, or the user ends it.
  StrCpy $1 0
  wait:
    Call ${UN}InstanceRunning
    Pop $0
    ${If} $0 = 0
      ${If} $1 > 0
        Sleep 1000  ; it has just let go of the mutex; let its process end too
      ${EndIf}
      Goto done
    ${EndIf}
    ${If} $1 < 30
      IntOp $1 $1 + 1
      Sleep 500
      Goto wait
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "Vaultwren 或 VaultwrenCmd 仍在运行。请等它结束或退出它，然后重试。" \
      /SD IDCANCEL IDCANCEL give_up
    StrCpy $1 0
    Goto wait

  give_up:
    SetErrorLevel 2
    Quit
  done:
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
