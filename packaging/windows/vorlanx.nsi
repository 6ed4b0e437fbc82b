; The Windows setup program of Vorlanx, built on Linux by scripts/package-windows with Debian's
; NSIS:  makensis -DVERSION=7.0 -DSTAGE=<dir> -DOUTFILE=<exe> [-DWITH_WINDOW] vorlanx.nsi
; STAGE holds vorlanxd.exe, vorlanx-db.exe, LICENSE.txt, the first conf.ini and (with WITH_WINDOW)
; vorlanx.exe.
;
; Installs into C:\Vorlanx by default (/D= another folder, /S silently). The folder is also the
; service directory: the window and the service write conf.ini, Restart.bat, the log and their
; data beside their executables, so the operator may write there. An upgrade stops the Windows
; service vorlanxd first and starts it again afterwards; it never touches a file it did not bring.
; While the window is open (it holds the mutex Local\VorlanxWindow) setup and the uninstaller
; refuse: the window's files are in use, and closing it would cut the terminals off unawares.
;
; Exit codes beside NSIS's own (0 done, 1 cancelled, 2 aborted): 3 the window is open, 4 the
; service did not stop.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!ifndef VERSION | STAGE | OUTFILE
!error "VERSION, STAGE and OUTFILE must be defined"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Vorlanx 食堂消费服务"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vorlanx"
!define WINDOW_MUTEX "Local\VorlanxWindow"
!define EXIT_WINDOW_OPEN 3
!define EXIT_SERVICE_RUNNING 4

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "C:\Vorlanx"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Vorlanx ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=0 "ProductName" "Vorlanx"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (c) 2026 the Vorlanx authors, MIT licence"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "English"

LangString WindowOpen ${LANG_ENGLISH} "The Vorlanx window (vorlanx.exe) is open. Close it, then run this again: while it runs its files cannot be replaced, and the terminals it serves would be cut off without warning."
LangString WindowOpen ${LANG_SIMPCHINESE} "Vorlanx 窗口 (vorlanx.exe) 正在运行。请先关闭它再运行本程序：运行中的文件无法替换，它所服务的终端也会被意外中断。"
LangString ServiceNotStopped ${LANG_ENGLISH} "The Windows service vorlanxd did not stop, so its files cannot be replaced. Stop it (net stop vorlanxd) and run this again."
LangString ServiceNotStopped ${LANG_SIMPCHINESE} "Windows 服务 vorlanxd 未能停止，无法替换其文件。请先停止它 (net stop vorlanxd) 再运行本程序。"
LangString DataKept ${LANG_ENGLISH} "Vorlanx is removed. conf.ini, the logs and the data stay in $INSTDIR; delete that folder yourself when they are no longer needed."
LangString DataKept ${LANG_SIMPCHINESE} "Vorlanx 已卸载。conf.ini、日志和数据仍保留在 $INSTDIR 中；不再需要时请自行删除该文件夹。"

Var ServiceWasRunning

; Refuses, with a message (none when silent) and exit code 3, while the window holds its mutex.
!macro RefuseWhileWindowOpen
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${WINDOW_MUTEX}") p .r0'
    ${If} $0 P<> 0
        System::Call 'kernel32::CloseHandle(p r0)'
        MessageBox MB_ICONSTOP|MB_OK "$(WindowOpen)" /SD IDOK
        SetErrorLevel ${EXIT_WINDOW_OPEN}
        Quit
    ${EndIf}
!macroend

Function .onInit
    !insertmacro RefuseWhileWindowOpen
FunctionEnd

Section "Vorlanx" SectionMain
    SectionIn RO
    ; The window may have been opened since setup started.
    !insertmacro RefuseWhileWindowOpen

    ; The service is stopped by this version's vorlanxd.exe, unpacked to the temporary folder: it
    ; waits for the service's drain (the bookings under way are answered first).
    InitPluginsDir
    SetOutPath "$PLUGINSDIR"
    File "/oname=$PLUGINSDIR\vorlanxd-setup.exe" "${STAGE}\vorlanxd.exe"
    DetailPrint "Stopping the Windows service vorlanxd if it runs"
    nsExec::ExecToLog '"$PLUGINSDIR\vorlanxd-setup.exe" --stop-service'
    Pop $0
    ; 0 stopped, 3 not registered, 4 registered and not running.
    StrCpy $ServiceWasRunning 0
    ${If} $0 == 0
        StrCpy $ServiceWasRunning 1
    ${ElseIf} $0 != 3
    ${AndIf} $0 != 4
        MessageBox MB_ICONSTOP|MB_OK "$(ServiceNotStopped)" /SD IDOK
        SetErrorLevel ${EXIT_SERVICE_RUNNING}
        Quit
    ${EndIf}

    SetOutPath "$INSTDIR"
    SetOverwrite on
!ifdef WITH_WINDOW
    File "${STAGE}\vorlanx.exe"
!endif
    File "${STAGE}\vorlanxd.exe"
    File "${STAGE}\vorlanx-db.exe"
    File "${STAGE}\LICENSE.txt"
    ; Only on a first install: it selects the built-in database canteen.db in this folder, which the
    ; service or the window creates at its first connect. A conf.ini that is there stays as it is.
    SetOverwrite off
    File "${STAGE}\conf.ini"
    SetOverwrite on
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The operator (not only an administrator) writes conf.ini and Restart.bat here.
    nsExec::ExecToLog 'icacls "$INSTDIR" /grant *S-1-5-32-545:(OI)(CI)M'
    Pop $0

    SetShellVarContext all
!ifdef WITH_WINDOW
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\vorlanx.exe" "" "$INSTDIR\vorlanx.exe" 0
!endif

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "the Vorlanx authors"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
!ifdef WITH_WINDOW
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vorlanx.exe"
!endif
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/M=*.exe /S=0K /G=0" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

    ${If} $ServiceWasRunning == 1
        DetailPrint "Starting the Windows service vorlanxd again"
        nsExec::ExecToLog '"$INSTDIR\vorlanxd.exe" --start-service'
        Pop $0
    ${EndIf}
SectionEnd

Function un.onInit
    !insertmacro RefuseWhileWindowOpen
FunctionEnd

Section "Uninstall"
    ; The service first: removing it stops it after its drain.
    nsExec::ExecToLog '"$INSTDIR\vorlanxd.exe" --remove-service'
    Pop $0
    ${If} $0 != 0
    ${AndIf} $0 != 3
        MessageBox MB_ICONSTOP|MB_OK "$(ServiceNotStopped)" /SD IDOK
        SetErrorLevel ${EXIT_SERVICE_RUNNING}
        Quit
    ${EndIf}

    SetShellVarContext all
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$INSTDIR\vorlanx.exe"
    Delete "$INSTDIR\vorlanxd.exe"
    Delete "$INSTDIR\vorlanx-db.exe"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\uninstall.exe"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ; Only when empty: conf.ini, Restart.bat, the logs and the data stay.
    RMDir "$INSTDIR"
    ${IfNot} ${Silent}
    ${AndIf} ${FileExists} "$INSTDIR\*.*"
        MessageBox MB_ICONINFORMATION|MB_OK "$(DataKept)"
    ${EndIf}
SectionEnd
