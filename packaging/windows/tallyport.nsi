; TallyportSetup-VERSION.exe: installs the Windows till into Program Files\Tallyport.
; Built by the Windows build's `installer` target (packaging/windows/CMakeLists.txt), which
; defines VERSION, OUTFILE and FILES: files.nsh, written from the build's one list of the
; program's files, which the install section puts in place and the uninstall section removes.
;   TallyportSetup-VERSION.exe [/S] [/D=DIRECTORY]       install; /S silently
;   TallyportSetup-VERSION.exe /S /RESTART               an upgrade started by the updater's
;                                                          relay (DownloadRelay.exe): waits for
;                                                          Download.exe to end and says why it
;                                                          cannot go on even when silent; the
;                                                          relay, which runs as the user who
;                                                          asked, starts the till again
;   uninstall.exe [/S] [/REMOVEDATA]                       remove the program; the shop's data
;                                                          stay unless asked for
; Nothing here starts the till: this program runs with administrator rights, perhaps those of
; another account than the cashier's, and a till started from it would run so too.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"

!define PRODUCT "Tallyport"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tallyport"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tallyport"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
BrandingText "${PRODUCT} ${VERSION}"

!include "${FILES}"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; No "run Tallyport" box: it would start the till with this installer's rights (see above).
!define MUI_FINISHPAGE_TEXT "Tallyport ${VERSION} 已安装。请从开始菜单的 Tallyport 启动收银台。$\r$\n$\r$\nTallyport ${VERSION} is installed. Start it from the Start menu: Tallyport."
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "English"

; A till that is running holds the named mutex Tallyport.exe: its files are in use, and a
; payment may be under way. It is closed by the cashier, through its own leave flow.
!macro RefuseWhileTheTillRuns
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Tallyport.exe") p .r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_ICONSTOP "请先退出 Tallyport 收银台，再继续。$\r$\nPlease exit Tallyport first." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
!macroend

; Download.exe holds the named mutex Download.exe until it ends; its DLLs are in use until then.
; It ends right after starting its relay, which waits for it before starting this installer;
; up to 30 s more are waited for here.
!macro WaitForTheUpdater
  StrCpy $1 0
  ${Do}
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Download.exe") p .r0'
    ${If} $0 P= 0
      ${Break}
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r0)'
    IntOp $1 $1 + 1
    ${If} $1 > 120
      MessageBox MB_ICONSTOP "升级程序没有结束，升级未完成。$\r$\nThe updater did not end; nothing was upgraded."
      SetErrorLevel 2
      Quit
    ${EndIf}
    Sleep 250
  ${Loop}
!macroend

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "Tallyport 需要 64 位 Windows。$\r$\nTallyport needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/RESTART" $1
  ${IfNot} ${Errors}
    !insertmacro WaitForTheUpdater
    ; The person asked for the upgrade and waits for the till: a refusal is said, not silent.
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Tallyport.exe") p .r0'
    ${If} $0 P<> 0
      System::Call 'kernel32::CloseHandle(p r0)'
      MessageBox MB_ICONSTOP "Tallyport 收银台仍在运行，升级未完成。$\r$\nTallyport is still running; nothing was upgraded."
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
  !insertmacro RefuseWhileTheTillRuns
FunctionEnd

Section "Tallyport"
  SetShellVarContext all
  ; KeyHook.exe runs as long as a till started it; an upgrade replaces it.
  nsExec::Exec 'taskkill /im KeyHook.exe /f'
  !insertmacro InstallProgramFiles

  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Tallyport"
  CreateShortcut "$SMPROGRAMS\Tallyport\Tallyport.lnk" "$INSTDIR\Tallyport.exe"
  CreateShortcut "$SMPROGRAMS\Tallyport\卸载 Tallyport.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tallyport maintainers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tallyport.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  SetRegView 64
  !insertmacro RefuseWhileTheTillRuns
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  nsExec::Exec 'taskkill /im KeyHook.exe /f'
  !insertmacro UninstallProgramFiles
  Delete "$INSTDIR\uninstall.exe"
  ; The folder goes only when nothing is left in it: a file of another program stays.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Tallyport\Tallyport.lnk"
  Delete "$SMPROGRAMS\Tallyport\卸载 Tallyport.lnk"
  RMDir "$SMPROGRAMS\Tallyport"
  ; Start at logon: the till's value and the training till's.
  DeleteRegValue HKCU "${RUN_KEY}" "Tallyport"
  DeleteRegValue HKCU "${RUN_KEY}" "Tallyport-training"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; What an upgrade may have left (the downloaded installer, the updater's relay) is the
  ; program's, not the shop's data: it goes with the program.
  SetShellVarContext current
  Delete "$LOCALAPPDATA\tallyport\TallyportSetup-upgrade.exe"
  Delete "$LOCALAPPDATA\tallyport\updater\DownloadRelay.exe"
  RMDir "$LOCALAPPDATA\tallyport\updater"
  ; The shop's configuration, logs and ledger stay unless the person asks for them to go.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVEDATA" $1
  ${IfNot} ${Errors}
    RMDir /r "$LOCALAPPDATA\tallyport"
  ${ElseIfNot} ${Silent}
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
      "同时删除收银数据（配置、日志和 ledger.db 交易记录）吗？$\r$\nAlso remove the till's data (configuration, logs, ledger.db)?" \
      /SD IDNO IDNO keep
    RMDir /r "$LOCALAPPDATA\tallyport"
    keep:
  ${EndIf}
SectionEnd
