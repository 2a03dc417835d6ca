; Tessaly's installer: for the current user, into
; %LOCALAPPDATA%\Programs\Tessaly, where the program and its Blocos folder
; are the user's to write. Portuguese of Brazil throughout. Built by
; scripts/windows.sh with makensis, which defines:
;   VERSION  the program's version ("2.2.0")
;   STAGE    the folder that holds what is installed, laid out as installed
;   ICON     the program's icon
;   OUTPUT   the installer's file
;   PRODUCT, PUBLISHER  the names "Aplicativos instalados" shows, the same
;            the winget manifest gives
; /S installs (and uninstalls) without a window, keeping the downloaded
; categories. Name and publisher stay the same from version to version, so
; that Windows and winget see an update of the same program.
Unicode true
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true

!include "MUI2.nsh"
!include "LogicLib.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaly"
!define SETTINGS_KEY "Software\Tessaly"

Name "${PRODUCT}"
OutFile "${OUTPUT}"
InstallDir "$LOCALAPPDATA\Programs\Tessaly"
; An update goes where the last installation went.
InstallDirRegKey HKCU "${SETTINGS_KEY}" "Pasta"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1046 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1046 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1046 "FileDescription" "Instalação do Tessaly"
VIAddVersionKey /LANG=1046 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1046 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1046 "LegalCopyright" "Copyright © ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\tessaly.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Abrir o Tessaly agora"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "PortugueseBR"

; Explorer keeps the thumbnail provider loaded while it shows .dwg files, and
; Windows lets a loaded DLL be renamed but not replaced or deleted: one in use
; is moved aside into the temporary folder, on the same disk, and the
; system's cleaning removes it later.
!macro MoveProviderAside un
  Function ${un}MoveProviderAside
    ClearErrors
    Delete "$INSTDIR\TessalyMiniaturas.dll"
    ${If} ${Errors}
      GetTempFileName $0
      Delete $0
      Rename "$INSTDIR\TessalyMiniaturas.dll" "$0"
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro MoveProviderAside ""
!insertmacro MoveProviderAside "un."

Section "Tessaly (programa e ajuda)" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  ; An update replaces the program's own files and never touches the
  ; categories already downloaded into Blocos.
  File "${STAGE}\tessaly.exe"
  File "${STAGE}\vazio.dwg"
  File "${STAGE}\Ajuda.chm"
  SetOutPath "$INSTDIR\translations"
  File "${STAGE}\translations\qtbase_pt_BR.qm"
  SetOutPath "$INSTDIR\Blocos"
  File "${STAGE}\Blocos\*.txt"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\desinstalar.exe"

  ; Thumbnails of .dwg files in Explorer, for this user: the DLL registers
  ; itself, and leaves alone a handler another program (AutoCAD, DWG
  ; TrueView) registered.
  Call MoveProviderAside
  File "${STAGE}\TessalyMiniaturas.dll"
  RegDLL "$INSTDIR\TessalyMiniaturas.dll"

  CreateShortCut "$SMPROGRAMS\Tessaly.lnk" "$INSTDIR\tessaly.exe" "" "$INSTDIR\tessaly.exe" 0

  WriteRegStr HKCU "${SETTINGS_KEY}" "Pasta" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tessaly.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\desinstalar.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\desinstalar.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section /o "Atalho na área de trabalho" SecDesktop
  CreateShortCut "$DESKTOP\Tessaly.lnk" "$INSTDIR\tessaly.exe" "" "$INSTDIR\tessaly.exe" 0
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "O programa, a sua ajuda e as descrições dos pacotes de blocos."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecDesktop} "Um atalho para o Tessaly na área de trabalho."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; Pushes 1 when Blocos holds anything (a category, the search index), else 0.
Function un.BlocosHoldsSomething
  StrCpy $2 0
  FindFirst $0 $1 "$INSTDIR\Blocos\*"
  ${DoWhile} $1 != ""
    ${If} $1 != "."
    ${AndIf} $1 != ".."
      StrCpy $2 1
      ${Break}
    ${EndIf}
    FindNext $0 $1
  ${Loop}
  FindClose $0
  Push $2
FunctionEnd

Section "Uninstall"
  UnRegDLL "$INSTDIR\TessalyMiniaturas.dll"
  Call un.MoveProviderAside
  Delete "$INSTDIR\tessaly.exe"
  Delete "$INSTDIR\vazio.dwg"
  Delete "$INSTDIR\Ajuda.chm"
  Delete "$INSTDIR\translations\qtbase_pt_BR.qm"
  RMDir "$INSTDIR\translations"
  ; What the program leaves between runs: its lock, journal and preview copy.
  Delete "$INSTDIR\tessaly.lock"
  Delete "$INSTDIR\tessaly.journal"
  Delete "$INSTDIR\TMP.ZIP"
  Delete "$INSTDIR\Blocos\*.txt"
  Delete "$SMPROGRAMS\Tessaly.lnk"
  Delete "$DESKTOP\Tessaly.lnk"
  ; The downloaded categories took the user time and bandwidth: only on his word.
  Call un.BlocosHoldsSomething
  Pop $0
  ${If} $0 == 1
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
      "Apagar também as categorias de blocos baixadas (pasta Blocos)?$\r$\nSe você responder Não, elas ficam em $INSTDIR\Blocos e uma nova instalação as usará." \
      /SD IDNO IDNO blocksKept
    RMDir /r "$INSTDIR\Blocos"
  blocksKept:
  ${EndIf}
  RMDir "$INSTDIR\Blocos"
  Delete "$INSTDIR\desinstalar.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
SectionEnd
