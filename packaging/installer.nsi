; The Windows installer: the VST 3 bundle for all users or for the current user, optionally the
; VST 2 module in a folder the user picks, the manual (English and Japanese) and the licences,
; and an uninstaller registered under Add/Remove Programs that removes exactly those files.
;
; Built by cmake/release.cmake's make_installer.sh, which defines VERSION, OUTFILE, COMPRESSOR,
; BUNDLE_DIR (the VST 3 bundle to install), FILES (the generated lists of files to install and
; remove) and, for a signed release, SIGN_UNINSTALLER (a command that signs the file it is given).
; Command line: /AllUsers or /CurrentUser chooses the scope and skips that page (without either,
; an installed version's scope, else all users when interactive and the current user when
; silent), /VST2=<folder> adds the VST 2 module, /S installs silently. Exit codes: 0 installed,
; 2 bad arguments or cancelled, 3 refused beside an installation for all users, 5 no rights.
Unicode true
Target amd64-unicode
SetCompressor /SOLID ${COMPRESSOR}
; Installed files get the time they are installed, not the time they were built: the installer
; holds no dates, so that one commit always gives the same bytes.
SetDateSave off
!ifdef SIGN_UNINSTALLER
  ; The uninstaller is made here and stored in the installer: signed before it is stored.
  !uninstfinalize '${SIGN_UNINSTALLER} "%1"' = 0
!endif

; The knob as the installer's and the uninstaller's icon (Add/Remove Programs shows the latter)
; and beside the first and last pages.
!define MUI_ICON "${__FILEDIR__}/quenvale.ico"
!define MUI_UNICON "${__FILEDIR__}/quenvale.ico"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${__FILEDIR__}/installer-side.bmp"
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include Sections.nsh
!include "${FILES}"

!define PRODUCT "Quenvale"
!define PUBLISHER "Corvane Audio"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quenvale"
!define BUNDLE "Quenvale64.vst3"
!define VST2_FILE "Quenvale64.dll"
!define MODULE "${BUNDLE_DIR}/Contents/x86_64-win/Quenvale64.vst3"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; Elevation is asked for only when the user chooses all users (see Elevate).
RequestExecutionLevel user
ManifestDPIAware true
ShowInstDetails show
BrandingText "${PRODUCT} ${VERSION}"

Var AllUsers    ; 1: every user, 0: the current user
Var ScopeGiven  ; 1 when the command line chose the scope
Var Vst3Folder
Var Vst2Folder
Var Vst2Given   ; 1 when the command line chose the VST 2 folder
Var RadioAll

!define MUI_ABORTWARNING
; A host keeps a loaded plug-in's file open, and Windows lets nobody replace it meanwhile.
!define MUI_WELCOMEPAGE_TEXT "$(WELCOME_TEXT)"
!insertmacro MUI_PAGE_WELCOME
Page custom ScopePage ScopePageLeave
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_PRE Vst2FolderPre
!define MUI_DIRECTORYPAGE_VARIABLE $Vst2Folder
!define MUI_PAGE_HEADER_TEXT "$(VST2_HEADER)"
!define MUI_PAGE_HEADER_SUBTEXT "$(VST2_SUBTEXT)"
!define MUI_DIRECTORYPAGE_TEXT_TOP "$(VST2_TEXT_TOP)"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "$(FINISH_TEXT)"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\manual\$(MANUAL_FOLDER)\index.html"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "$(SHOW_MANUAL)"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"
!include "${__FILEDIR__}/installer-texts.nsh"

; Folders of a scope. The VST 3 folders are where hosts look: the common one for everybody,
; the one under the user's local application data for the user alone.
Function ApplyScope
  ${If} $AllUsers == 1
    SetShellVarContext all
    StrCpy $INSTDIR "$PROGRAMFILES64\${PUBLISHER}\${PRODUCT}"
    StrCpy $Vst3Folder "$COMMONFILES64\VST3"
  ${Else}
    SetShellVarContext current
    StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PUBLISHER}\${PRODUCT}"
    StrCpy $Vst3Folder "$LOCALAPPDATA\Programs\Common\VST3"
  ${EndIf}
FunctionEnd

; All users need administrator rights: without them, run again elevated with the same
; arguments (and the scope, which then skips its page) and wait for that run.
Function Elevate
  ${If} $AllUsers == 1
    UserInfo::GetAccountType
    Pop $R0
    ${If} $R0 != "Admin"
      ${GetParameters} $R1
      ClearErrors
      ${GetOptions} $R1 "/Elevated" $R2
      ${IfNot} ${Errors}
        MessageBox MB_ICONSTOP "$(NEEDS_ADMIN)" /SD IDOK
        SetErrorLevel 5
        Quit
      ${EndIf}
      ExecShellWait "runas" "$EXEPATH" "$R1 /AllUsers /Elevated"
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "$(SEC_VST3)" SecVst3
  SectionIn RO
  Call RemovePrevious
  !insertmacro InstallBundle "$Vst3Folder\${BUNDLE}"
SectionEnd

Section /o "$(SEC_VST2)" SecVst2
  SetOutPath "$Vst2Folder"
  File "/oname=${VST2_FILE}" "${MODULE}"
SectionEnd

Section "-Manual, licences, uninstaller"
  !insertmacro InstallManual "$INSTDIR\manual"
  !insertmacro InstallLicenses "$INSTDIR\licenses"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ${If} $AllUsers == 1
    StrCpy $R0 "/AllUsers"
  ${Else}
    StrCpy $R0 "/CurrentUser"
  ${EndIf}
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\uninstall.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" $R0'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" $R0 /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ; Where the plug-in went, for the uninstaller.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "VST3Folder" "$Vst3Folder"
  ${If} ${SectionIsSelected} ${SecVst2}
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "VST2Folder" "$Vst2Folder"
  ${EndIf}

  ${GetSize} "$INSTDIR" "/S=0K" $R1 $R2 $R3
  ${GetSize} "$Vst3Folder\${BUNDLE}" "/S=0K" $R4 $R2 $R3
  IntOp $R1 $R1 + $R4
  ${If} ${SectionIsSelected} ${SecVst2}
    ${GetSize} "$Vst2Folder" "/M=${VST2_FILE} /S=0K /G=0" $R4 $R2 $R3
    IntOp $R1 $R1 + $R4
  ${EndIf}
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $R1
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecVst3} $(DESC_VST3)
  !insertmacro MUI_DESCRIPTION_TEXT ${SecVst2} $(DESC_VST2)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; An installed version goes first, through its own uninstaller: files that this version no
; longer has do not stay behind. _?= runs it in place, so that it can be waited for; it then
; leaves only itself, removed here.
!macro RemoveInstalled HIVE OPTION
  ReadRegStr $R0 ${HIVE} "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R0 != ""
  ${AndIf} ${FileExists} "$R0\uninstall.exe"
    DetailPrint "$(REMOVING)"
    ClearErrors
    ExecWait '"$R0\uninstall.exe" /S ${OPTION} _?=$R0' $R2
    ${If} ${Errors}
    ${OrIf} $R2 != 0
      Abort "$(NOT_REMOVED)"
    ${EndIf}
    Delete "$R0\uninstall.exe"
    RMDir "$R0"
  ${EndIf}
!macroend

; Hosts that find the plug-in in both VST 3 folders load one of the two, perhaps the older, so
; there is one installation at a time: installing for all users also takes away the current
; user's own one.
Function RemovePrevious
  ${If} $AllUsers == 1
    !insertmacro RemoveInstalled HKLM /AllUsers
  ${EndIf}
  !insertmacro RemoveInstalled HKCU /CurrentUser
FunctionEnd

; The other way round needs administrator rights, so installing for the current user beside an
; installation for all users is refused. $R0: that installation's folder, or empty.
Function InstalledForAllUsersBeside
  StrCpy $R0 ""
  ${If} $AllUsers == 0
    ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${EndIf}
FunctionEnd

; An upgrade puts the VST 2 module where the installed version of the scope has it, unless the
; command line names a folder: upgrading must not take away a plug-in that sessions use.
Function KeepInstalledVst2
  ${If} $Vst2Given == 0
    ReadRegStr $R0 SHCTX "${UNINSTALL_KEY}" "VST2Folder"
    ${If} $R0 != ""
      StrCpy $Vst2Folder $R0
      !insertmacro SelectSection ${SecVst2}
    ${EndIf}
  ${EndIf}
FunctionEnd

Function ParseScope
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/AllUsers" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
    StrCpy $ScopeGiven 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/CurrentUser" $R1
  ${IfNot} ${Errors}
    ${If} $ScopeGiven == 1
      MessageBox MB_ICONSTOP "$(BOTH_SCOPES)" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    StrCpy $AllUsers 0
    StrCpy $ScopeGiven 1
  ${EndIf}
FunctionEnd

Function .onInit
  StrCpy $ScopeGiven 0
  ; Interactive installs suggest all users; silent ones stay with the user unless told or
  ; an installed version says otherwise.
  ${If} ${Silent}
    StrCpy $AllUsers 0
  ${Else}
    StrCpy $AllUsers 1
  ${EndIf}
  Call ParseScope
  ; Without a scope on the command line, an installed version's scope is the default.
  ${If} $ScopeGiven == 0
    ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ReadRegStr $R1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $R0 != ""
      StrCpy $AllUsers 1
    ${ElseIf} $R1 != ""
      StrCpy $AllUsers 0
    ${EndIf}
  ${EndIf}
  StrCpy $Vst2Given 0
  StrCpy $Vst2Folder "$PROGRAMFILES64\VSTPlugins"
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/VST2=" $R1
  ${IfNot} ${Errors}
    ${If} $R1 == ""
      MessageBox MB_ICONSTOP "$(VST2_NO_FOLDER)" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    StrCpy $Vst2Folder $R1
    StrCpy $Vst2Given 1
    !insertmacro SelectSection ${SecVst2}
  ${EndIf}
  Call ApplyScope
  Call KeepInstalledVst2
  ; Silent installs have no scope page: their scope is settled now.
  ${If} $ScopeGiven == 1
  ${OrIf} ${Silent}
    Call InstalledForAllUsersBeside
    ${If} $R0 != ""
      MessageBox MB_ICONSTOP "$(BESIDE_ALL_USERS)" /SD IDOK
      SetErrorLevel 3
      Quit
    ${EndIf}
    Call Elevate
  ${EndIf}
FunctionEnd

Function ScopePage
  ${If} $ScopeGiven == 1
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "$(SCOPE_HEADER)" "$(SCOPE_SUBTEXT)"
  nsDialogs::Create 1018
  Pop $R0
  ${NSD_CreateRadioButton} 0 0 100% 12u "$(SCOPE_ALL)"
  Pop $RadioAll
  ${NSD_CreateRadioButton} 0 20u 100% 12u "$(SCOPE_ME)"
  Pop $R1
  ${If} $AllUsers == 1
    ${NSD_Check} $RadioAll
  ${Else}
    ${NSD_Check} $R1
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ScopePageLeave
  ${NSD_GetState} $RadioAll $R0
  ${If} $R0 == ${BST_CHECKED}
    StrCpy $AllUsers 1
  ${Else}
    StrCpy $AllUsers 0
  ${EndIf}
  Call ApplyScope
  Call InstalledForAllUsersBeside
  ${If} $R0 != ""
    MessageBox MB_ICONSTOP "$(BESIDE_ALL_USERS)"
    Abort
  ${EndIf}
  Call KeepInstalledVst2
  Call Elevate
FunctionEnd

Function Vst2FolderPre
  ${IfNot} ${SectionIsSelected} ${SecVst2}
    Abort
  ${EndIf}
FunctionEnd

; The uninstaller serves the scope it was registered for: all users when the machine-wide
; entry names its folder, else the current user.
Function un.onInit
  StrCpy $AllUsers 0
  ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R0 == $INSTDIR
    StrCpy $AllUsers 1
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/AllUsers" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/CurrentUser" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 0
  ${EndIf}
  ${If} $AllUsers == 1
    SetShellVarContext all
    UserInfo::GetAccountType
    Pop $R1
    ${If} $R1 != "Admin"
      ExecShellWait "runas" "$EXEPATH" "$R0 /AllUsers _?=$INSTDIR"
      Quit
    ${EndIf}
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd

; Only the files this version installs, and only the folders that are empty then: whatever the
; user put beside them stays, and so do the shared VST 3 folders.
Section "Uninstall"
  ReadRegStr $Vst3Folder SHCTX "${UNINSTALL_KEY}" "VST3Folder"
  ReadRegStr $Vst2Folder SHCTX "${UNINSTALL_KEY}" "VST2Folder"
  ${If} $Vst3Folder != ""
    !insertmacro UninstallBundle "$Vst3Folder\${BUNDLE}"
  ${EndIf}
  ${If} $Vst2Folder != ""
    Delete "$Vst2Folder\${VST2_FILE}"
  ${EndIf}
  !insertmacro UninstallManual "$INSTDIR\manual"
  !insertmacro UninstallLicenses "$INSTDIR\licenses"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  ${GetParent} "$INSTDIR" $R0
  RMDir "$R0"
  ; Last, so that whoever waits for the entry to go knows the files are gone.
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
