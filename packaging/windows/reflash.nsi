; The Windows installer: makensis packaging/windows/reflash.nsi, run by
; scripts/package-windows, which defines
;   VERSION  the project's version (from CMake)
;   FILES    an include file of "File" lines, one per file to install
;   REMOVE   an include file of "Delete" lines for the same files
;   SIZE_KB  their size in KiB, shown by Add/Remove Programs
;   OUTFILE  the installer to write
; Installs into Program Files (64-bit), adds a Start-menu entry and an
; entry in Add/Remove Programs; the uninstaller removes exactly what was
; installed and then the folder, if nothing else was put there.
Unicode true
; The program is 64-bit, so is its installer (and so it reads and writes
; the 64-bit registry and Program Files without redirection).
Target amd64-unicode

!macro Required NAME
  !ifndef ${NAME}
    !error "${NAME} is not defined: build the installer with scripts/package-windows"
  !endif
!macroend
!insertmacro Required VERSION
!insertmacro Required FILES
!insertmacro Required REMOVE
!insertmacro Required SIZE_KB
!insertmacro Required OUTFILE


!define PRODUCT "Reflash"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} installer"
VIAddVersionKey "LegalCopyright" "Reflash developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  ; The Start menu and Program Files of every user.
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  !include "${FILES}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The program appends its log in the folder it starts in, and a user
  ; cannot write into Program Files: the entry starts in the user's own
  ; folder (the shell expands the variable when it starts the program).
  StrCpy $OUTDIR "%USERPROFILE%"
  CreateShortCut "${SHORTCUT}" "$INSTDIR\reflash.exe" "" "$INSTDIR\reflash.exe" 0 SW_SHOWNORMAL "" \
    "Update the firmware of Orvella(n) converters and their option cards"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Reflash developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\reflash.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; Only the files this installer put there: a folder the user chose may
  ; hold other things, so it is never removed recursively.
  !include "${REMOVE}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
