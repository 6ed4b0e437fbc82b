; The Windows setup program of Vorlanx, built on Linux by scripts/package-windows with Debian's
; NSIS:  makensis -DVERSION=7.0 -DSTAGE=<dir> -DOUTFILE=<exe> [-DWITH_WINDOW] vorlanx.nsi
; STAGE holds vorlanxd.exe, vorlanx-db.exe, LICENSE.txt, the first conf.ini and (with WITH_WINDOW)
; vorlanx.exe.
;
; The programs go into %ProgramFiles%\Vorlanx, which only administrators write (/D= another
; folder, which setup closes the same way: inheritance off, SYSTEM and Administrators full, Users
; read and execute). conf.ini, the logs, the built-in database, exports and backups go into one
; data folder, %ProgramData%\Vorlanx, recorded in HKLM\Software\Vorlanx (DataDir) for the window
; and the service: inheritance off, SYSTEM and Administrators full, the operators' group Modify
; (/OPERATORS=GROUP or a SID, default Users), and the service's own account Modify, given by
; vorlanxd.exe --install-service. Setup runs only Windows' own icacls.exe and netsh.exe by their
; full path, and vorlanxd.exe from its own temporary folder or from the programs' folder once
; that is closed: never a program from a folder users can write.
;
; Components: the window (default on) and the Windows service vorlanxd (default off; /SERVICE=1
; when silent), registered under NT SERVICE\vorlanxd and started. A service registered before is
; registered again from the new folder, keeping its port. Each installed program that listens
; gets an inbound UDP firewall rule; the uninstaller removes them.
;
; Over 7.0 (C:\Vorlanx, found by its uninstall key): conf.ini, the logs and the built-in database
; move into the data folder when it has none of its own, and so does the %APPDATA%\Vorlanx\conf.ini
; of the person running setup; then the old programs are removed. Nothing is overwritten.
; While the window is open (it holds the mutex Global\VorlanxWindow; 7.0's held Local\VorlanxWindow)
; setup and the uninstaller refuse: the window's files are in use, and closing it would cut the
; terminals off unawares.
;
; Exit codes beside NSIS's own (0 done, 1 cancelled, 2 aborted): 3 the window is open, 4 the
; service did not stop, 5 the folders' permissions could not be set.

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
!include WordFunc.nsh
!include Sections.nsh
!include nsDialogs.nsh

!define PRODUCT "Vorlanx 食堂消费服务"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vorlanx"
!define VORLANX_KEY "Software\Vorlanx"
!define SERVICE_KEY "SYSTEM\CurrentControlSet\Services\vorlanxd"
!define WINDOW_MUTEX "Global\VorlanxWindow"
!define OLD_WINDOW_MUTEX "Local\VorlanxWindow"
!define RULE_SERVICE "Vorlanx service (vorlanxd.exe, UDP in)"
!define RULE_WINDOW "Vorlanx window (vorlanx.exe, UDP in)"
; SIDs, the same in every language of Windows: SYSTEM, Administrators, Users.
!define SID_SYSTEM "S-1-5-18"
!define SID_ADMINS "S-1-5-32-544"
!define SID_USERS "S-1-5-32-545"
!define EXIT_WINDOW_OPEN 3
!define EXIT_SERVICE_RUNNING 4
!define EXIT_PERMISSIONS 5

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vorlanx"
; Only this setup writes this value; 7.0's C:\Vorlanx is left for the programs' new place.
InstallDirRegKey HKLM "${VORLANX_KEY}" "InstallDir"
BrandingText "Vorlanx ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=0 "ProductName" "Vorlanx"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (c) 2026 the Vorlanx authors, MIT licence"

Var ServiceWasRunning
Var ServiceRegistered
Var ServiceArguments
Var DataDir
Var Operators
Var OperatorsSid
Var OperatorsField
Var Moved
Var Kept

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
Page custom OperatorsPage OperatorsLeave
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
LangString ServiceNotRegistered ${LANG_ENGLISH} "The Windows service vorlanxd could not be registered; see the details of this setup."
LangString ServiceNotRegistered ${LANG_SIMPCHINESE} "无法注册 Windows 服务 vorlanxd；请查看本安装程序的详细信息。"
LangString PermissionsFailed ${LANG_ENGLISH} "The permissions of the Vorlanx folders could not be set, so nothing was installed into them: "
LangString PermissionsFailed ${LANG_SIMPCHINESE} "无法设置 Vorlanx 文件夹的权限，因此没有安装任何文件："
LangString NoGroup ${LANG_ENGLISH} "No group or SID of that name on this computer: "
LangString NoGroup ${LANG_SIMPCHINESE} "本计算机上没有该名称的组或 SID："
LangString OperatorsText ${LANG_ENGLISH} "The group whose members operate Vorlanx: they may change conf.ini, the built-in database, the logs, exports and backups in the data folder $DataDir (never the programs). A name or a SID; Users for everyone who logs on."
LangString OperatorsText ${LANG_SIMPCHINESE} "操作 Vorlanx 的用户组：其成员可以修改数据文件夹 $DataDir 中的 conf.ini、内置数据库、日志、导出和备份（程序除外）。填写组名或 SID；Users 为所有登录用户。"
LangString MovedText ${LANG_ENGLISH} "Moved from the earlier install into $DataDir:"
LangString MovedText ${LANG_SIMPCHINESE} "已从旧版安装移入 $DataDir："
LangString KeptText ${LANG_ENGLISH} "Left where they were, as $DataDir has its own:"
LangString KeptText ${LANG_SIMPCHINESE} "以下文件保留原处，因为 $DataDir 中已有同名文件："
LangString DataKept ${LANG_ENGLISH} "Vorlanx is removed. conf.ini, the logs and the data stay in $DataDir; delete that folder yourself when they are no longer needed."
LangString DataKept ${LANG_SIMPCHINESE} "Vorlanx 已卸载。conf.ini、日志和数据仍保留在 $DataDir 中；不再需要时请自行删除该文件夹。"

; Refuses, with a message (none when silent) and exit code 3, while a window holds the mutex.
; "Access denied" is a window too: another user's, whose mutex this process may not open.
!macro RefuseWhileMutexHeld NAME
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${NAME}") p .r0 ?e'
    Pop $1
    ${If} $0 P<> 0
    ${OrIf} $1 == 5
        ${If} $0 P<> 0
            System::Call 'kernel32::CloseHandle(p r0)'
        ${EndIf}
        MessageBox MB_ICONSTOP|MB_OK "$(WindowOpen)" /SD IDOK
        SetErrorLevel ${EXIT_WINDOW_OPEN}
        Quit
    ${EndIf}
!macroend
!macro RefuseWhileWindowOpen
    !insertmacro RefuseWhileMutexHeld "${WINDOW_MUTEX}"
    !insertmacro RefuseWhileMutexHeld "${OLD_WINDOW_MUTEX}"
!macroend

; Windows' own icacls.exe by its full path; setup stops before installing into a folder it could
; not close.
!macro Icacls ARGS
    DetailPrint `icacls ${ARGS}`
    nsExec::ExecToLog `"$SYSDIR\icacls.exe" ${ARGS}`
    Pop $0
    ${If} $0 != 0
        MessageBox MB_ICONSTOP|MB_OK `$(PermissionsFailed)icacls ${ARGS}` /SD IDOK
        SetErrorLevel ${EXIT_PERMISSIONS}
        Quit
    ${EndIf}
!macroend

; An inbound UDP rule for one program, made anew so that an upgrade leaves one rule, not two.
!macro FirewallRule NAME PROGRAM
    nsExec::ExecToLog `"$SYSDIR\netsh.exe" advfirewall firewall delete rule name="${NAME}"`
    Pop $0
    nsExec::ExecToLog `"$SYSDIR\netsh.exe" advfirewall firewall add rule name="${NAME}" dir=in action=allow protocol=UDP program="${PROGRAM}" enable=yes`
    Pop $0
!macroend

; Moves FROM\NAME into the data folder when the data folder has no NAME; never overwrites.
!macro MoveIntoDataDir FROM NAME
    ${If} ${FileExists} "${FROM}\${NAME}"
        ${If} ${FileExists} "$DataDir\${NAME}"
            StrCpy $Kept "$Kept$\r$\n    ${FROM}\${NAME}"
        ${Else}
            ClearErrors
            Rename "${FROM}\${NAME}" "$DataDir\${NAME}"
            ${If} ${Errors}
                StrCpy $Kept "$Kept$\r$\n    ${FROM}\${NAME}"
            ${Else}
                StrCpy $Moved "$Moved$\r$\n    ${FROM}\${NAME}"
            ${EndIf}
        ${EndIf}
    ${EndIf}
!macroend

Function OperatorsPage
    nsDialogs::Create 1018
    Pop $0
    ${NSD_CreateLabel} 0 0 100% 48u "$(OperatorsText)"
    Pop $0
    ${NSD_CreateText} 0 52u 100% 12u "$Operators"
    Pop $OperatorsField
    nsDialogs::Show
FunctionEnd

Function OperatorsLeave
    ${NSD_GetText} $OperatorsField $Operators
FunctionEnd

; $Operators, a group's name or a SID, as a SID in $OperatorsSid; setup stops when there is none.
Function ResolveOperators
    StrCpy $0 $Operators 4
    ${If} $0 == "S-1-"
        StrCpy $OperatorsSid $Operators
        Return
    ${EndIf}
    ${If} $Operators == "Users"
        StrCpy $OperatorsSid "${SID_USERS}"
        Return
    ${EndIf}
    StrCpy $OperatorsSid ""
    System::Alloc 1024
    Pop $1
    System::Call 'advapi32::LookupAccountNameW(p 0, w "$Operators", p r1, *i 1024, w .r2, *i ${NSIS_MAX_STRLEN}, *i .r3) i .r4'
    ${If} $4 <> 0
        System::Call 'advapi32::ConvertSidToStringSidW(p r1, *p .r5) i .r6'
        ${If} $6 <> 0
            System::Call 'kernel32::lstrcpyW(w .r7, p r5)'
            System::Call 'kernel32::LocalFree(p r5)'
            StrCpy $OperatorsSid $7
        ${EndIf}
    ${EndIf}
    System::Free $1
    ${If} $OperatorsSid == ""
        MessageBox MB_ICONSTOP|MB_OK "$(NoGroup)$Operators" /SD IDOK
        SetErrorLevel ${EXIT_PERMISSIONS}
        Quit
    ${EndIf}
FunctionEnd

; The --port and --drain of a registered service's command line, to register it again with them.
Function RegisteredServiceArguments
    StrCpy $ServiceArguments ""
    ReadRegStr $R0 HKLM "${SERVICE_KEY}" "ImagePath"
    ${If} $R0 == ""
        Return
    ${EndIf}
    ${WordFind} "$R0 " " --port " "E+1}" $R1
    ${IfNot} ${Errors}
        ${WordFind} "$R1" " " "+1{" $R2
        StrCpy $ServiceArguments "--port $R2"
    ${EndIf}
    ClearErrors
    ${WordFind} "$R0 " " --drain " "E+1}" $R1
    ${IfNot} ${Errors}
        ${WordFind} "$R1" " " "+1{" $R2
        StrCpy $ServiceArguments "$ServiceArguments --drain $R2"
    ${EndIf}
    ClearErrors
FunctionEnd

Section "-Vorlanx" SectionMain
    ; The window may have been opened since setup started.
    !insertmacro RefuseWhileWindowOpen
    Call ResolveOperators

    ; The service is stopped by this version's vorlanxd.exe, unpacked to setup's own temporary
    ; folder: it waits for the service's drain (the bookings under way are answered first).
    InitPluginsDir
    SetOutPath "$PLUGINSDIR"
    File "/oname=$PLUGINSDIR\vorlanxd-setup.exe" "${STAGE}\vorlanxd.exe"
    DetailPrint "Stopping the Windows service vorlanxd if it runs"
    nsExec::ExecToLog '"$PLUGINSDIR\vorlanxd-setup.exe" --stop-service'
    Pop $0
    ; 0 stopped, 3 not registered, 4 registered and not running.
    StrCpy $ServiceWasRunning 0
    StrCpy $ServiceRegistered 1
    ${If} $0 == 0
        StrCpy $ServiceWasRunning 1
    ${ElseIf} $0 == 3
        StrCpy $ServiceRegistered 0
    ${ElseIf} $0 != 4
        MessageBox MB_ICONSTOP|MB_OK "$(ServiceNotStopped)" /SD IDOK
        SetErrorLevel ${EXIT_SERVICE_RUNNING}
        Quit
    ${EndIf}
    Call RegisteredServiceArguments

    ; Both folders are closed before anything goes into them. The owner is set first, of the files
    ; in them too: the user who made a folder or a file (ProgramData and C:\ let anyone make one)
    ; could otherwise change its ACL back.
    CreateDirectory "$DataDir"
    !insertmacro Icacls `"$DataDir" /setowner *${SID_ADMINS} /T /C`
    !insertmacro Icacls `"$DataDir" /inheritance:r /grant:r *${SID_SYSTEM}:(OI)(CI)F *${SID_ADMINS}:(OI)(CI)F *$OperatorsSid:(OI)(CI)M`
    CreateDirectory "$INSTDIR"
    ${If} $INSTDIR != "$PROGRAMFILES64\Vorlanx"
        !insertmacro Icacls `"$INSTDIR" /setowner *${SID_ADMINS} /T /C`
        !insertmacro Icacls `"$INSTDIR" /inheritance:r /grant:r *${SID_SYSTEM}:(OI)(CI)F *${SID_ADMINS}:(OI)(CI)F *${SID_USERS}:(OI)(CI)RX`
        ; No DLL of ours goes here: one found here was put by someone else, and the loader would
        ; take it before Windows' own.
        Delete "$INSTDIR\*.dll"
    ${EndIf}

    ; 7.0 kept its data beside its programs (C:\Vorlanx) and, where it could not write there, in
    ; the operator's %APPDATA%\Vorlanx. Moved only where the data folder has none of its own.
    StrCpy $Moved ""
    StrCpy $Kept ""
    ReadRegStr $R9 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $R9 != ""
    ${AndIf} $R9 != $INSTDIR
    ${AndIf} $R9 != $DataDir
        !insertmacro MoveIntoDataDir "$R9" "conf.ini"
        ; The built-in database with its journal, or neither: a journal beside another database
        ; would be applied to it.
        ${IfNot} ${FileExists} "$DataDir\canteen.db"
            !insertmacro MoveIntoDataDir "$R9" "canteen.db"
            !insertmacro MoveIntoDataDir "$R9" "canteen.db-wal"
            !insertmacro MoveIntoDataDir "$R9" "canteen.db-shm"
        ${EndIf}
        FindFirst $R7 $R8 "$R9\*.log*"
        ${DoWhile} $R8 != ""
            !insertmacro MoveIntoDataDir "$R9" "$R8"
            FindNext $R7 $R8
        ${Loop}
        FindClose $R7
        ; The old programs go; whatever else is there stays.
        Delete "$R9\vorlanx.exe"
        Delete "$R9\vorlanxd.exe"
        Delete "$R9\vorlanx-db.exe"
        Delete "$R9\LICENSE.txt"
        Delete "$R9\Restart.bat"
        Delete "$R9\uninstall.exe"
        RMDir "$R9"
        DetailPrint "Removed the programs of the earlier install in $R9"
    ${EndIf}
    SetShellVarContext current
    !insertmacro MoveIntoDataDir "$APPDATA\Vorlanx" "conf.ini"
    SetShellVarContext all
    ${If} $Moved != ""
        DetailPrint "$(MovedText)$Moved"
    ${EndIf}
    ; A file in the data folder keeps the ACL it had when it was made or moved there (a file of a
    ; 7.0 install let every user read it): every one takes the data folder's.
    FindFirst $R7 $R8 "$DataDir\*"
    ${Do}
        ${If} $R8 != "."
        ${AndIf} $R8 != ".."
            ${ExitDo}
        ${EndIf}
        FindNext $R7 $R8
    ${LoopUntil} $R8 == ""
    FindClose $R7
    ${If} $R8 != ""
        !insertmacro Icacls `"$DataDir\*" /reset /T /C`
    ${EndIf}
    ${If} $Kept != ""
        DetailPrint "$(KeptText)$Kept"
    ${EndIf}
    ${If} $Moved != ""
    ${OrIf} $Kept != ""
        MessageBox MB_ICONINFORMATION|MB_OK "$(MovedText)$Moved$\r$\n$\r$\n$(KeptText)$Kept" /SD IDOK
    ${EndIf}

    ; Made anew rather than written over, so that each file takes the closed folder's ACL.
    Delete "$INSTDIR\vorlanx.exe"
    Delete "$INSTDIR\vorlanxd.exe"
    Delete "$INSTDIR\vorlanx-db.exe"
    Delete "$INSTDIR\uninstall.exe"
    SetOutPath "$INSTDIR"
    SetOverwrite on
    File "${STAGE}\vorlanxd.exe"
    File "${STAGE}\vorlanx-db.exe"
    File "${STAGE}\LICENSE.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ; Only on a first install: it selects the built-in database canteen.db in the data folder, which
    ; the service or the window creates at its first connect. A conf.ini that is there stays.
    SetOutPath "$DataDir"
    SetOverwrite off
    File "${STAGE}\conf.ini"
    SetOverwrite on
    SetOutPath "$INSTDIR"

    WriteRegStr HKLM "${VORLANX_KEY}" "DataDir" "$DataDir"
    WriteRegStr HKLM "${VORLANX_KEY}" "InstallDir" "$INSTDIR"
    WriteRegStr HKLM "${VORLANX_KEY}" "Operators" "$OperatorsSid"
    !insertmacro FirewallRule "${RULE_SERVICE}" "$INSTDIR\vorlanxd.exe"
SectionEnd

!ifdef WITH_WINDOW
Section "窗口 Window (vorlanx.exe)" SectionWindow
    SetOutPath "$INSTDIR"
    File "${STAGE}\vorlanx.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\vorlanx.exe" "" "$INSTDIR\vorlanx.exe" 0
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vorlanx.exe"
    !insertmacro FirewallRule "${RULE_WINDOW}" "$INSTDIR\vorlanx.exe"
SectionEnd
!endif

; Registered and started at the end, once every file is in place.
Section /o "Windows 服务 Windows service (vorlanxd)" SectionService
SectionEnd

Section "-Register"
!ifdef WITH_WINDOW
    ${IfNot} ${SectionIsSelected} ${SectionWindow}
        Delete "$INSTDIR\vorlanx.exe"
        Delete "$SMPROGRAMS\${PRODUCT}.lnk"
        nsExec::ExecToLog `"$SYSDIR\netsh.exe" advfirewall firewall delete rule name="${RULE_WINDOW}"`
        Pop $0
    ${EndIf}
!endif
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "the Vorlanx authors"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/M=*.exe /S=0K /G=0" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

    ; A service registered before (7.0's ran as LocalSystem from C:\Vorlanx) is registered again
    ; from here, under its own account, with its port and drain.
    ${If} ${SectionIsSelected} ${SectionService}
    ${OrIf} $ServiceRegistered == 1
        DetailPrint "Registering the Windows service vorlanxd"
        nsExec::ExecToLog '"$INSTDIR\vorlanxd.exe" --install-service $ServiceArguments --dir "$DataDir"'
        Pop $0
        ${If} $0 != 0
            MessageBox MB_ICONSTOP|MB_OK "$(ServiceNotRegistered)" /SD IDOK
            SetErrorLevel 2
        ${ElseIf} ${SectionIsSelected} ${SectionService}
        ${OrIf} $ServiceWasRunning == 1
            DetailPrint "Starting the Windows service vorlanxd"
            nsExec::ExecToLog '"$INSTDIR\vorlanxd.exe" --start-service'
            Pop $0
        ${EndIf}
    ${EndIf}
SectionEnd

Function .onInit
    SetShellVarContext all
    StrCpy $DataDir "$APPDATA\Vorlanx"
    !insertmacro RefuseWhileWindowOpen
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/SERVICE=" $R1
    ${IfNot} ${Errors}
    ${AndIf} $R1 == 1
        !insertmacro SelectSection ${SectionService}
    ${EndIf}
    ; The group of the last install unless named again.
    ReadRegStr $Operators HKLM "${VORLANX_KEY}" "Operators"
    ${If} $Operators == ""
        StrCpy $Operators "Users"
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/OPERATORS=" $R1
    ${IfNot} ${Errors}
        StrCpy $Operators $R1
    ${EndIf}
    ClearErrors
FunctionEnd

Function un.onInit
    SetShellVarContext all
    ReadRegStr $DataDir HKLM "${VORLANX_KEY}" "DataDir"
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
    nsExec::ExecToLog `"$SYSDIR\netsh.exe" advfirewall firewall delete rule name="${RULE_SERVICE}"`
    Pop $0
    nsExec::ExecToLog `"$SYSDIR\netsh.exe" advfirewall firewall delete rule name="${RULE_WINDOW}"`
    Pop $0

    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$INSTDIR\vorlanx.exe"
    Delete "$INSTDIR\vorlanxd.exe"
    Delete "$INSTDIR\vorlanx-db.exe"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "${VORLANX_KEY}"
    ; conf.ini, the logs and the data stay in the data folder.
    ${IfNot} ${Silent}
    ${AndIf} $DataDir != ""
        MessageBox MB_ICONINFORMATION|MB_OK "$(DataKept)"
    ${EndIf}
SectionEnd
