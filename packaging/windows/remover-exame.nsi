; The Windows installer of remover-exame: the window program and its console
; twin (remover-exame.com, the command line for a prompt) under Program Files,
; a Start-menu entry "Remover exame", an uninstaller, the entry in the
; system's list of installed programs, the event source "Remover exame" of
; the Application log (its message file the program, whose message table
; gives each record's event ID its text) and, only when asked, the program's
; folder on the machine's PATH. Built by CMake (target installer):
;   makensis -DEXE=<remover-exame.exe> -DCOM=<remover-exame.com> -DOUTFILE=<setup.exe> -DVERSION=<x.y>
;
; Options: /S silent; /PATH=1 puts the folder on the machine's PATH (the
; components page's "Pasta no PATH" does the same); /D=<folder> the folder,
; unquoted and last. An installation that is already there is upgraded in
; place (the same version again repairs it); /D= naming another folder than
; the one installed is refused (exit status 3), so no copy is orphaned.
; Exit status: 0 installed, 1 cancelled, 2 failed, 3 installed elsewhere.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Remover exame"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\RemoverExame"
; ReadRegStr cuts a longer value at the installer's string size less one.
!define /math PATH_MAX_LENGTH ${NSIS_MAX_STRLEN} - 1
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

Var Installed  ; the folder of the installation already there, or empty

!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "PortugueseBR"

; PathWithout: $R0 (a PATH value) without the entries naming $R1 (with or
; without a final backslash; StrCmp ignores case), in $R2.
!macro PATH_WITHOUT un
Function ${un}PathWithout
    Push $R3
    Push $R4
    Push $R5
    Push $R6
    StrCpy $R2 ""
    StrCpy $R3 "$R0;"
    next:
        StrCmp $R3 "" done
        StrCpy $R4 0
        find:
            StrCpy $R5 $R3 1 $R4
            StrCmp $R5 ";" found
            IntOp $R4 $R4 + 1
            Goto find
        found:
        StrCpy $R6 $R3 $R4
        IntOp $R4 $R4 + 1
        StrCpy $R3 $R3 "" $R4
        StrCmp $R6 "" next
        StrCmp $R6 $R1 next
        StrCmp $R6 "$R1\" next
        StrCmp $R2 "" 0 +3
            StrCpy $R2 $R6
            Goto next
        StrCpy $R2 "$R2;$R6"
        Goto next
    done:
    Pop $R6
    Pop $R5
    Pop $R4
    Pop $R3
FunctionEnd
!macroend
!insertmacro PATH_WITHOUT ""
!insertmacro PATH_WITHOUT "un."

; An installation in another folder than $INSTDIR: say so and stop.
Function RefuseAnotherFolder
    StrCmp $Installed "" done
    StrCmp $Installed $INSTDIR done
    StrCmp "$Installed\" $INSTDIR done
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} já está instalado em $Installed. Instale a nova versão nessa pasta (sem /D=) para atualizá-lo, ou desinstale-o antes de instalar em outra pasta." /SD IDOK
    SetErrorLevel 3
    Abort
    done:
FunctionEnd

Function DirectoryLeave
    StrCmp $Installed "" done
    StrCmp $Installed $INSTDIR done
    StrCmp "$Installed\" $INSTDIR done
    MessageBox MB_OK|MB_ICONEXCLAMATION "${PRODUCT} já está instalado em $Installed. Escolha essa pasta para atualizá-lo, ou desinstale-o antes de instalar em outra pasta."
    Abort
    done:
FunctionEnd

Section "${PRODUCT}" SecProgram
    SectionIn RO
    ; The topmost folder this installation creates, kept for the uninstaller;
    ; an upgrade creates none and keeps what the first installation noted.
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "CreatedFolder"
    StrCmp $1 "" 0 created
    StrCpy $0 $INSTDIR
    StrCpy $1 ""
    IfFileExists "$0\*.*" created
    climb:
        StrCpy $1 $0
        ${GetParent} $0 $0
        StrCmp $0 "" created
        IfFileExists "$0\*.*" created climb
    created:

    SetOutPath "$INSTDIR"
    File "/oname=remover-exame.exe" "${EXE}"
!ifdef COM
    File "/oname=remover-exame.com" "${COM}"
!endif
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\remover-exame.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\remover-exame.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    StrCmp $1 "" +2
        WriteRegStr HKLM "${UNINSTALL_KEY}" "CreatedFolder" $1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

    ; Error, warning and information records.
    WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\remover-exame.exe"
    WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7
SectionEnd

; Off unless asked for (/PATH=1 or this page's entry). A value too long for
; the installer's strings is left as it is rather than cut.
Section /o "Pasta no PATH" SecPath
    ReadRegStr $R0 HKLM "${ENVIRONMENT_KEY}" "Path"
    StrLen $0 $R0
    IntCmp $0 ${PATH_MAX_LENGTH} 0 +4 0
        DetailPrint "PATH longo demais: a pasta não foi acrescentada."
        SetErrorLevel 2
        Return
    StrCpy $R1 $INSTDIR
    Call PathWithout
    StrCmp $R2 "" +2
        StrCpy $R2 "$R2;"
    WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$R2$INSTDIR"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "AddedToPath" 1
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
SectionEnd

; After the sections, whose numbers it uses.
Function .onInit
    SetShellVarContext all
    SetRegView 64
    StrCpy $Installed ""
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    IfFileExists "$0\remover-exame.exe" 0 +2
        StrCpy $Installed $0
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/PATH=" $1
    IfErrors +3
    StrCmp $1 "1" 0 +2
        SectionSetFlags ${SecPath} ${SF_SELECTED}
    IfSilent 0 +2
        Call RefuseAnotherFolder
FunctionEnd

Section "Uninstall"
    SetShellVarContext all
    SetRegView 64
    ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "AddedToPath"
    IntCmp $0 1 0 path_done path_done
        ReadRegStr $R0 HKLM "${ENVIRONMENT_KEY}" "Path"
        StrLen $0 $R0
        IntCmp $0 ${PATH_MAX_LENGTH} 0 +3 0
            DetailPrint "PATH longo demais: remova $INSTDIR dele à mão."
            Goto path_done
        StrCpy $R1 $INSTDIR
        Call un.PathWithout
        WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" $R2
        SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
    path_done:
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "CreatedFolder"

    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$INSTDIR\remover-exame.exe"
    Delete "$INSTDIR\remover-exame.com"
    ; The uninstaller that started this copy of it may not have ended yet,
    ; and its file goes only when it has: a few tries, a quarter second apart.
    StrCpy $2 0
    folder:
        Delete "$INSTDIR\uninstall.exe"
        RMDir "$INSTDIR"
        IfFileExists "$INSTDIR\*.*" 0 folder_done
        IntOp $2 $2 + 1
        IntCmp $2 20 folder_done
        Sleep 250
        Goto folder
    folder_done:
    ; The empty folders above it that the installation created.
    StrCpy $0 $INSTDIR
    StrCmp $1 "" parents_done
    parents:
        StrCmp $0 $1 parents_done
        ${un.GetParent} $0 $0
        StrCmp $0 "" parents_done
        RMDir $0
        Goto parents
    parents_done:
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
    DetailPrint "Mantidos: o arquivo de configuração Quelvomir.INI em $WINDIR e as pastas de cópias das linhas removidas."
SectionEnd

Function un.onInit
    SetShellVarContext all
    SetRegView 64
FunctionEnd

Function un.onUninstSuccess
    MessageBox MB_OK|MB_ICONINFORMATION "${PRODUCT} foi desinstalado. O arquivo de configuração Quelvomir.INI (em $WINDIR) e as pastas de cópias das linhas removidas foram mantidos." /SD IDOK
FunctionEnd
