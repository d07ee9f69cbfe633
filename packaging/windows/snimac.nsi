; The Windows installer of snimac.exe (NSIS 3, Unicode).
;
; One installer for every Windows: it carries the x86_64 and the i686 build
; and installs the x86_64 one where the machine is x64 (to "Program Files",
; 64-bit registry view), the i686 one otherwise (to the 32-bit Program Files
; folder, 32-bit view). FTD2XX.DLL is not shipped: FTDI's converter driver
; installs it into the system folder, where the program finds it.
;
; Built by packaging/windows/make_installer.sh, which passes:
;   VERSION    the project's version (1.15)
;   VERSION4   the same as four numbers (1.15.0.0), for the file's version resource
;   WIN32_EXE  the i686 snimac.exe
;   WIN64_EXE  the x86_64 snimac.exe
;   OUTFILE    the installer to write (snimac-setup-VERSION.exe)
;
; Command line (beside NSIS's own /S and /D=folder):
;   /NOAUTOSTART   leave the autostart entry out (for silent installs)

!macro REQUIRE_DEFINE name
  !ifndef ${name}
    !error "makensis needs -D${name}=... (see packaging/windows/make_installer.sh)"
  !endif
!macroend
!insertmacro REQUIRE_DEFINE VERSION
!insertmacro REQUIRE_DEFINE VERSION4
!insertmacro REQUIRE_DEFINE WIN32_EXE
!insertmacro REQUIRE_DEFINE WIN64_EXE
!insertmacro REQUIRE_DEFINE OUTFILE

Unicode true
ManifestDPIAware true
; Program Files, the machine's Uninstall and Run keys and the all-users
; Start menu need an administrator.
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define PRODUCT_NAME "Snímač karet"
!define PUBLISHER "snimac"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\snimac"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "snimac"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT_NAME}.lnk"
; The class of the program's main window (it exists, hidden, while the
; program runs in the tray); WM_CLOSE to it ends the program normally.
!define MAIN_WINDOW_CLASS "SnimacMainWindow"

Name "${PRODUCT_NAME}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT_NAME} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=1029 "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=1029 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1029 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1029 "FileDescription" "Instalace programu ${PRODUCT_NAME}"
VIAddVersionKey /LANG=1029 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1029 "LegalCopyright" "${PUBLISHER}"

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinMessages.nsh

Var DriverNote  ; what the finish page says about FTD2XX.DLL

!define MUI_ICON "${__FILEDIR__}/../../platform/win32/icons/snimac.ico"
!define MUI_UNICON "${__FILEDIR__}/../../platform/win32/icons/snimac.ico"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "$(WelcomeText)"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "$(FinishText)$\r$\n$\r$\n$DriverNote"
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(RunNowText)"
!define MUI_FINISHPAGE_RUN_FUNCTION RunAsLoggedOnUser
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The program speaks Czech; English for the administrator of a system in
; another language.
!insertmacro MUI_LANGUAGE "Czech"
!insertmacro MUI_LANGUAGE "English"
!include "${__FILEDIR__}/texts.nsh"

; The machine's own build and its registry view, the same choice in the
; installer and the uninstaller. An x64 machine (not an ARM64 one, whose
; older systems do not run x64 programs) gets the x86_64 build.
!macro CHOOSE_VIEW
  SetShellVarContext all
  ${If} ${IsNativeAMD64}
    SetRegView 64
  ${Else}
    SetRegView 32
  ${EndIf}
!macroend

; Ends the program where it runs in this session (WM_CLOSE to its main
; window: the normal teardown, which still delivers or writes pending
; attendance reads), then waits until snimac.exe can be replaced or removed.
; A copy that stays (another user's session) is the user's to end: retry or
; give up (a silent run gives up, with a non-zero exit code).
!macro CLOSE_RUNNING_PROGRAM prefix
Function ${prefix}CloseRunningProgram
  FindWindow $0 "${MAIN_WINDOW_CLASS}"
  ${If} $0 <> 0
    DetailPrint "$(ClosingProgram)"
  ${EndIf}
  ${DoWhile} $0 <> 0
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
    Sleep 200
    FindWindow $0 "${MAIN_WINDOW_CLASS}"
  ${Loop}
  ${IfNot} ${FileExists} "$INSTDIR\snimac.exe"
    Return
  ${EndIf}
  ; The teardown may still be delivering attendance reads (bounded time-outs).
  StrCpy $1 0
  ${Do}
    ClearErrors
    FileOpen $2 "$INSTDIR\snimac.exe" a
    ${IfNot} ${Errors}
      FileClose $2
      ${Break}
    ${EndIf}
    IntOp $1 $1 + 1
    ${If} $1 >= 150
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(ProgramStillRuns)" /SD IDCANCEL IDRETRY retry
      DetailPrint "$(ProgramStillRuns)"
      Abort
    retry:
      StrCpy $1 0
    ${EndIf}
    Sleep 200
  ${Loop}
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING_PROGRAM ""
!insertmacro CLOSE_RUNNING_PROGRAM "un."

; FTD2XX.DLL where the program will look for it: the system folder of its
; own bitness (the 32-bit installer sees the 64-bit one only without WOW64's
; redirection).
Function FindDriverLibrary
  ${If} ${IsNativeAMD64}
    ${DisableX64FSRedirection}
  ${EndIf}
  ${If} ${FileExists} "$SYSDIR\FTD2XX.DLL"
    StrCpy $DriverNote "$(DriverFound)"
  ${Else}
    StrCpy $DriverNote "$(DriverMissing)"
  ${EndIf}
  ${If} ${IsNativeAMD64}
    ${EnableX64FSRedirection}
  ${EndIf}
  DetailPrint "$DriverNote"
FunctionEnd

; From the finish page: the installer runs elevated, the program must not;
; Explorer starts it as the logged-on user.
Function RunAsLoggedOnUser
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\snimac.exe"'
FunctionEnd

Section "-CloseRunningProgram"
  Call CloseRunningProgram
SectionEnd

; The machine's build: .onInit leaves one of the two selected, so that the
; space asked for is that of the one installed.
Section "-x86_64" SecX86_64
  SetOutPath "$INSTDIR"
  File "/oname=snimac.exe" "${WIN64_EXE}"
SectionEnd

Section "-i686" SecI686
  SetOutPath "$INSTDIR"
  File "/oname=snimac.exe" "${WIN32_EXE}"
SectionEnd

Section "$(SecProgramName)" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "${SHORTCUT}" "$INSTDIR\snimac.exe" "" "$INSTDIR\snimac.exe" 0 SW_SHOWNORMAL "" "$(ShortcutComment)"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\snimac.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; Written again below when chosen: a reinstall without it removes it.
  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  Call FindDriverLibrary
SectionEnd

; Every user's logon starts the program in the tray.
Section "$(SecAutostartName)" SecAutostart
  WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\snimac.exe"'
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "$(SecProgramText)"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecAutostart} "$(SecAutostartText)"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Section "Uninstall"
  Call un.CloseRunningProgram
  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  Delete "${SHORTCUT}"
  Delete "$INSTDIR\snimac.exe"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: nothing the user put there is removed.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

Function .onInit
  !insertmacro CHOOSE_VIEW
  ; /D=folder sets INSTDIR; otherwise an earlier installation's folder, else
  ; Program Files of the build that is installed.
  ${If} $INSTDIR == ""
    ReadRegStr $INSTDIR HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${EndIf}
  ${If} $INSTDIR == ""
    ${If} ${IsNativeAMD64}
      StrCpy $INSTDIR "$PROGRAMFILES64\snimac"
    ${Else}
      StrCpy $INSTDIR "$PROGRAMFILES\snimac"
    ${EndIf}
  ${EndIf}
  ${If} ${IsNativeAMD64}
    !insertmacro UnselectSection ${SecI686}
  ${Else}
    !insertmacro UnselectSection ${SecX86_64}
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NOAUTOSTART" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecAutostart}
  ${EndIf}
FunctionEnd

Function un.onInit
  !insertmacro CHOOSE_VIEW
FunctionEnd
