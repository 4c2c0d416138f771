; The Windows edition's installer: per user, without administrator rights.
; `cpack` in the Windows build folder makes it through CPack's NSIS generator
; (packaging/NSIS.template.in), which defines:
;   VERSION    the version ("0.1"); VERSION4 the same as four numbers
;   PUBLISHER  who makes it, as Settings -> Apps shows it
;   STAGE      the folder holding Varnoscape.scr, README.md and LICENSE
;   ICON       the program's icon
;   OUTFILE    the installer to write
;
; What it writes, and all that its uninstaller takes away again:
;   %LOCALAPPDATA%\Programs\Varnoscape\  Varnoscape.scr, README.md, LICENSE,
;                                        Uninstall.exe
;   HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnoscape
;                                        the entry of Settings -> Apps
;   HKCU\Control Panel\Desktop           SCRNSAVE.EXE, when the user keeps
;                                        "Use Varnoscape as my screen saver"
;   HKCU\Software\Varnoscape             PreviousScreenSaver: the saver
;                                        before ours (absent: there was none)
; The settings file, Varnoscape.ini, is the user's, in %APPDATA%\Varnoscape
; (a copy in %LOCALAPPDATA%\Programs keeps it there, though its folder is
; writable): no installer or uninstaller touches it, nor any file the user
; adds beside the program (such as the settings file of a portable copy), and
; the folder stays while it holds one.
;
; Exit codes: 0 done, 1 cancelled by the user, 2 failed. /S installs and
; uninstalls without a window, with the defaults. An NSIS uninstaller
; started plainly copies itself to the temporary folder, starts that copy
; and returns 0 at once; with "_?=<its folder>" last on its command line it
; runs where it is and its exit code is the result. QuietUninstallString is
; that waited-for form.

; Warnings are errors, as in the program's build.
!pragma warning error all

Unicode true
Target amd64-unicode
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma
; A file that cannot be written (the saver running) fails the install: no
; "Ignore", and in silent mode no retrying.
AllowSkipFiles off

!include MUI2.nsh
!include LogicLib.nsh
!include Sections.nsh
!include FileFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnoscape"
!define OWN_KEY "Software\Varnoscape"
!define DESKTOP_KEY "Control Panel\Desktop"

Name "Varnoscape"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Varnoscape"
; An update goes where the installed copy is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
; Without a picture folder the saver only asks for one: offer its settings.
!define MUI_FINISHPAGE_RUN "$INSTDIR\Varnoscape.scr"
!define MUI_FINISHPAGE_RUN_PARAMETERS "/c"
!define MUI_FINISHPAGE_RUN_TEXT "$(CHOOSE_FOLDER_NOW)"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The installer speaks the user's language, as the program does.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString SCREEN_SAVER_CHOICE ${LANG_ENGLISH} "Use Varnoscape as my screen saver"
LangString SCREEN_SAVER_CHOICE ${LANG_JAPANESE} "Varnoscape をスクリーン セーバーにする"
LangString CHOOSE_FOLDER_NOW ${LANG_ENGLISH} "Choose the picture folder now"
LangString CHOOSE_FOLDER_NOW ${LANG_JAPANESE} "画像のフォルダーを今すぐ選ぶ"
LangString CANNOT_WRITE_FILES ${LANG_ENGLISH} "Varnoscape could not be written to $INSTDIR."
LangString CANNOT_WRITE_FILES ${LANG_JAPANESE} "$INSTDIR に Varnoscape を書き込めませんでした。"
LangString CANNOT_WRITE_REGISTRY ${LANG_ENGLISH} "Varnoscape could not be registered with Windows."
LangString CANNOT_WRITE_REGISTRY ${LANG_JAPANESE} "Varnoscape を Windows に登録できませんでした。"
LangString SAVER_IN_USE ${LANG_ENGLISH} "Varnoscape.scr is in use. Close the screen saver and its settings, then try again."
LangString SAVER_IN_USE ${LANG_JAPANESE} "Varnoscape.scr が使用中です。スクリーン セーバーとその設定を閉じてから、もう一度お試しください。"

VIProductVersion "${VERSION4}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Varnoscape"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Varnoscape setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
; The licence's own copyright line.
!searchparse /file "${STAGE}/LICENSE" "Copyright " COPYRIGHT
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright ${COPYRIGHT}"

; FAIL MESSAGE: says why (in a window unless silent) and ends with exit code 2.
!macro FAIL message
  DetailPrint "${message}"
  MessageBox MB_OK|MB_ICONSTOP "${message}" /SD IDOK
  SetErrorLevel 2
  Abort
!macroend

; The functions both the installer and the uninstaller call: NSIS wants the
; uninstaller's own copies, named un.*.
!macro SCREEN_SAVER_FUNCTIONS prefix
  ; Sets $R0 to 1 when SCRNSAVE.EXE names this copy's Varnoscape.scr, by its
  ; long or its short name (the control panel may write either), else to 0.
  ; The short name is found only while the file is there.
  Function ${prefix}NamesOurSaver
    Push $0
    Push $1
    StrCpy $R0 0
    ClearErrors
    ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${IfNot} ${Errors}
      GetFullPathName /SHORT $1 "$INSTDIR\Varnoscape.scr"
      ${If} $0 == "$INSTDIR\Varnoscape.scr"
        StrCpy $R0 1
      ${ElseIf} $1 != ""
      ${AndIf} $0 == $1
        StrCpy $R0 1
      ${EndIf}
    ${EndIf}
    Pop $1
    Pop $0
  FunctionEnd

  ; Puts SCRNSAVE.EXE back to the saver remembered from before ours, or
  ; removes it when there was none.
  Function ${prefix}RestorePreviousSaver
    Push $0
    ClearErrors
    ReadRegStr $0 HKCU "${OWN_KEY}" "PreviousScreenSaver"
    ${If} ${Errors}
      DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${Else}
      WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $0
    ${EndIf}
    Pop $0
  FunctionEnd
!macroend
!insertmacro SCREEN_SAVER_FUNCTIONS ""
!insertmacro SCREEN_SAVER_FUNCTIONS "un."

; The saver before ours is the last one an install saw that was not ours:
; over our own (an update) what was remembered stays.
Function RememberPreviousSaver
  Call NamesOurSaver
  ${If} $R0 == 0
    ClearErrors
    ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${If} ${Errors}
      DeleteRegValue HKCU "${OWN_KEY}" "PreviousScreenSaver"
    ${Else}
      WriteRegStr HKCU "${OWN_KEY}" "PreviousScreenSaver" $0
    ${EndIf}
  ${EndIf}
FunctionEnd

; Sets $R0 to the size of the installed files in KB, rounded up.
Function InstalledSize
  StrCpy $R0 0
  !macro ADD_FILE_SIZE name
    StrCpy $1 0
    ClearErrors
    FileOpen $0 "$INSTDIR\${name}" r
    ${IfNot} ${Errors}
      FileSeek $0 0 END $1
      FileClose $0
    ${EndIf}
    IntOp $R0 $R0 + $1
  !macroend
  !insertmacro ADD_FILE_SIZE "Varnoscape.scr"
  !insertmacro ADD_FILE_SIZE "README.md"
  !insertmacro ADD_FILE_SIZE "LICENSE"
  !insertmacro ADD_FILE_SIZE "Uninstall.exe"
  IntOp $R0 $R0 + 1023
  IntOp $R0 $R0 / 1024
FunctionEnd

Section "Varnoscape" program
  SectionIn RO
  ClearErrors
  SetOutPath "$INSTDIR"
  ${If} ${Errors}
    !insertmacro FAIL "$(CANNOT_WRITE_FILES)"
  ${EndIf}
  File "${STAGE}/Varnoscape.scr"
  File "${STAGE}/README.md"
  File "${STAGE}/LICENSE"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  ${If} ${Errors}
    !insertmacro FAIL "$(CANNOT_WRITE_FILES)"
  ${EndIf}
  Call RememberPreviousSaver
SectionEnd

Section "$(SCREEN_SAVER_CHOICE)" screen_saver
  ClearErrors
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$INSTDIR\Varnoscape.scr"
  ${If} ${Errors}
    !insertmacro FAIL "$(CANNOT_WRITE_REGISTRY)"
  ${EndIf}
SectionEnd

; Last: the choice taken back, and the entry in Settings -> Apps.
Section "-Apps entry"
  ${IfNot} ${SectionIsSelected} ${screen_saver}
    Call NamesOurSaver
    ${If} $R0 == 1
      Call RestorePreviousSaver
    ${EndIf}
  ${EndIf}
  Call InstalledSize
  ClearErrors
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Varnoscape"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Varnoscape.scr"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $R0
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${If} ${Errors}
    !insertmacro FAIL "$(CANNOT_WRITE_REGISTRY)"
  ${EndIf}
SectionEnd

Function .onInit
  ; Over an installed copy the choice starts as the user left it: on while
  ; the saver is still ours, off once they took another (or none).
  ClearErrors
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${IfNot} ${Errors}
    Call NamesOurSaver
    ${If} $R0 == 0
      !insertmacro UnselectSection ${screen_saver}
    ${EndIf}
  ${EndIf}
FunctionEnd

; Removes Uninstall.exe and then the folder, when it is empty (a file of the
; user's keeps it). The uninstaller that started this copy (in the temporary
; folder) may take a moment to end.
Function un.RemoveUninstaller
  StrCpy $1 0
  ${Do}
    Delete "$INSTDIR\Uninstall.exe"
    ${IfNot} ${FileExists} "$INSTDIR\Uninstall.exe"
      ${Break}
    ${EndIf}
    Sleep 100
    IntOp $1 $1 + 1
  ${LoopUntil} $1 >= 100
  RMDir "$INSTDIR"
FunctionEnd

Function un.onInit
  ; The copy that removes the uninstaller run in place; only once this
  ; copy's entry is gone, so that the option alone removes nothing.
  ${un.GetParameters} $0
  ClearErrors
  ${un.GetOptions} $0 "/RemoveUninstaller" $1
  ${IfNot} ${Errors}
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != $INSTDIR
      Call un.RemoveUninstaller
    ${EndIf}
    Quit
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; Whether the saver is ours, asked while its file is there.
  Call un.NamesOurSaver
  StrCpy $R1 $R0
  ; The saver first: while it runs (the saver, its preview, its settings)
  ; its file stays, and then nothing else is changed.
  Delete "$INSTDIR\Varnoscape.scr"
  ${If} ${FileExists} "$INSTDIR\Varnoscape.scr"
    !insertmacro FAIL "$(SAVER_IN_USE)"
  ${EndIf}
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\LICENSE"
  ; The user's own choice of another saver stays.
  ${If} $R1 == 1
    Call un.RestorePreviousSaver
  ${EndIf}
  ; The entry and our key, when they are this copy's.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    DeleteRegValue HKCU "${OWN_KEY}" "PreviousScreenSaver"
    DeleteRegKey /ifempty HKCU "${OWN_KEY}"
  ${EndIf}
  ${If} $EXEPATH == "$INSTDIR\Uninstall.exe"
    ; Run where it is (_?=, the waited-for form): a running program's file
    ; can be neither deleted nor, under Wine, moved. A copy of it in the
    ; temporary folder removes it, and the folder, once this one has ended.
    GetTempFileName $0
    CopyFiles /SILENT "$EXEPATH" $0
    Exec '"$0" /RemoveUninstaller _?=$INSTDIR'
  ${Else}
    Call un.RemoveUninstaller
  ${EndIf}
SectionEnd
