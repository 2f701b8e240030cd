; The setup program of the plug-in: puts Tolvane.dll into the player's plug-in folder and
; registers an uninstaller in the system's list of programs.
; Built by CMake (target `setup`) and by release/package.sh:
;   makensis -DVERSION=a.b.c.d -DDLL=path -DOUTFILE=path [-DSIGN=path/sign.sh] Tolvane.nsi

!ifndef VERSION | DLL | OUTFILE
  !error "define VERSION, DLL and OUTFILE"
!endif

!define PRODUCT "Tolvane"
!define PUBLISHER "Outwell"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvane"
!define SETTINGS_KEY "Software\Outwell\Tolvane"
!define UNINSTALLER "Uninstall Tolvane.exe"
!define ERROR_SHARING_VIOLATION 32

; A signed release: the uninstaller is signed before it goes into the setup program (so the one an
; installation writes carries the signature), then the setup program itself. Either failing fails the build.
!ifdef SIGN
  !uninstfinalize 'bash "${SIGN}" "%1" "${PRODUCT} ${VERSION} Uninstall"' = 0
  !finalize 'bash "${SIGN}" "%1" "${PRODUCT} ${VERSION} Setup"' = 0
!endif

Unicode true
SetCompressor /SOLID lzma
; The same inputs make the same setup program: no build times go into it.
SetDateSave off

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; Nothing the plug-in knows records where the player lives; this is where it usually does.
InstallDir "$PROGRAMFILES\QCD Player\Plugins"
; Administrators install for everyone (HKLM); anyone else for themselves (HKCU), in a folder
; they can write to. .onInit picks the hive from the rights the program really has.
RequestExecutionLevel highest
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

PageEx directory
  DirText "Setup will install the plug-in Tolvane.dll, version ${VERSION}, into the QCD player's plug-in folder (the $\"Plugins$\" folder in the player's own folder). Close the player first." \
          "Player's plug-in folder" "" "Choose the QCD player's plug-in folder:"
  PageCallbacks "" "" DirectoryLeave
PageExEnd
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Sets $R0 to "held" when another program has FILE open (a running player has its plug-ins
; loaded), to "denied" when it cannot be written for lack of rights, else to "".
; Only an exclusive open for writing tells; NSIS's own File would wait in a box or skip it.
!macro CheckWritable UN
Function ${UN}CheckWritable
  Exch $0
  Push $1
  Push $2
  StrCpy $R0 ""
  IfFileExists $0 0 done
  System::Call 'kernel32::CreateFileW(w r0, i 0x40000000, i 0, p 0, i 3, i 0, p 0) p .r1 ?e'
  Pop $2
  IntPtrCmp $1 -1 failed 0 0
  System::Call 'kernel32::CloseHandle(p r1)'
  Goto done
failed:
  StrCpy $R0 "denied"
  IntCmp $2 ${ERROR_SHARING_VIOLATION} 0 done done
  StrCpy $R0 "held"
done:
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro CheckWritable ""
!insertmacro CheckWritable "un."

; The player's message for each refusal; Retry checks again, Cancel ends with exit code 2
; having changed nothing (silent: Cancel at once).
!macro RetryOrGiveUp UN FILE RETRY
  StrCmp $R0 "held" 0 +3
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${FILE} is in use: a running player has it loaded.$\r$\n$\r$\nClose the player, then choose Retry. Cancel leaves the folder as it is." /SD IDCANCEL IDRETRY ${RETRY}
    Goto +2
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${FILE} cannot be written: you have no right to change $INSTDIR.$\r$\n$\r$\nRun Setup as an administrator, then choose Retry. Cancel leaves the folder as it is." /SD IDCANCEL IDRETRY ${RETRY}
  DetailPrint "Nothing was changed."
  SetErrorLevel 2
  Abort
!macroend

Function .onInit
  UserInfo::GetAccountType
  Pop $0
  StrCmp $0 "Admin" 0 +2
    SetShellVarContext all
  ; An update goes where the last installation went, unless /D= says otherwise.
  StrCmp $INSTDIR "$PROGRAMFILES\QCD Player\Plugins" 0 +4
    ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    StrCmp $0 "" +2
      StrCpy $INSTDIR $0
FunctionEnd

Function DirectoryLeave
  IfFileExists "$INSTDIR\*.*" +3
    MessageBox MB_YESNO|MB_ICONQUESTION "The folder $INSTDIR does not exist. The player's plug-in folder is the $\"Plugins$\" folder in the folder the player was installed to.$\r$\n$\r$\nCreate this folder anyway?" IDYES +2
    Abort
FunctionEnd

; A failed extraction (a full disk) leaves at most the temporary file, removed here.
Function .onInstFailed
  Delete "$INSTDIR\Tolvane.dll.new"
FunctionEnd

Section "Tolvane.dll"
  SetOutPath $INSTDIR
check:
  Push "$INSTDIR\Tolvane.dll"
  Call CheckWritable
  StrCmp $R0 "" 0 refused
  ; Written beside the old one under another name, then moved over it in one step: the folder
  ; never holds a partly written Tolvane.dll.
  SetOverwrite try
  ClearErrors
  File "/oname=Tolvane.dll.new" "${DLL}"
  IfErrors 0 +3
    StrCpy $R0 "denied"
    Goto refused
  System::Call 'kernel32::MoveFileExW(w "$INSTDIR\Tolvane.dll.new", w "$INSTDIR\Tolvane.dll", i 1) i .r0 ?e'
  Pop $1
  IntCmp $0 0 0 installed installed
    Delete "$INSTDIR\Tolvane.dll.new"
    StrCpy $R0 "denied"
    IntCmp $1 ${ERROR_SHARING_VIOLATION} 0 refused refused
    StrCpy $R0 "held"
    Goto refused
installed:
  DetailPrint "Installed $INSTDIR\Tolvane.dll"

  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION} (QCD player plug-in)"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  Return

refused:
  !insertmacro RetryOrGiveUp "" "$INSTDIR\Tolvane.dll" check
SectionEnd

Function un.onInit
  ; The entry to remove is in the hive the installation wrote, found by its folder.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  StrCmp $0 $INSTDIR 0 +2
    SetShellVarContext all
FunctionEnd

Section "Uninstall"
check:
  Push "$INSTDIR\Tolvane.dll"
  Call un.CheckWritable
  StrCmp $R0 "" 0 refused
  ClearErrors
  Delete "$INSTDIR\Tolvane.dll"
  IfErrors 0 +3
    StrCpy $R0 "held"
    Goto refused
  Delete "$INSTDIR\${UNINSTALLER}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"

  ; The settings are the user's; silent removal keeps them.
  ClearErrors
  EnumRegValue $0 HKCU "${SETTINGS_KEY}" 0
  IfErrors done
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Also remove Tolvane's settings (the last recorder, disc type, gap and choices, kept in the registry under HKEY_CURRENT_USER\${SETTINGS_KEY})?" /SD IDNO IDNO done
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DetailPrint "Removed the settings"
  Goto done

refused:
  !insertmacro RetryOrGiveUp "un." "$INSTDIR\Tolvane.dll" check
done:
SectionEnd
