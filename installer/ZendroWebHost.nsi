; Per-user setup of ZendroWebHost: puts the host into the user's programs folder, writes its native
; messaging manifests beside it and registers them with Chrome, Chromium, Edge and Firefox. No
; elevation: everything lives under the user's profile and HKEY_CURRENT_USER.
;
; cmake/installer.cmake builds it and passes
;   ZENDRO_VERSION    the product version (four numbers, from CMakeLists.txt)
;   ZENDRO_HOST_EXE   the executable to install
;   ZENDRO_SETTINGS   the header it writes from installer/settings.cmake
;   ZENDRO_SETUP_OUT  the setup program to write
; and, for a signed release only,
;   ZENDRO_UNINSTALLER_SIGNER  a program that signs the uninstaller, given its path, in place
; Silent use: ZendroWebHostSetup.exe /S [/D=<folder>], Uninstall.exe /S.

Unicode true
; Debian's Wine runs only 64-bit programs, and the host is one.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true
; The program's own icon for the setup and its uninstaller.
Icon "${__FILEDIR__}/../resources/ZendroWebHost.ico"
UninstallIcon "${__FILEDIR__}/../resources/ZendroWebHost.ico"
; The same commit builds the same setup: no file times from the build machine.
SetDateSave off
!ifdef ZENDRO_UNINSTALLER_SIGNER
  ; Run on the uninstaller as makensis writes it, before it goes into the setup.
  !uninstfinalize '"${ZENDRO_UNINSTALLER_SIGNER}" "%1"' = 0
!endif

!include LogicLib.nsh
!include "${ZENDRO_SETTINGS}"

!define PRODUCT "Zendro Web Host"
!define EXE "ZendroWebHost.exe"
!define UNINSTALLER "Uninstall.exe"
; Chrome, Chromium and Edge share one manifest; Firefox wants allowed_extensions instead.
!define CHROMIUM_MANIFEST "${HOST_NAME}.json"
!define FIREFOX_MANIFEST "${HOST_NAME}.firefox.json"
!define UNINSTALL_PARENT "Software\Microsoft\Windows\CurrentVersion\Uninstall"
!define UNINSTALL_KEY "${UNINSTALL_PARENT}\ZendroWebHost"
!define CLASSES "Software\Classes"
; The host's registration for Windows' Default apps (src/desktop/association.cpp writes it): its own
; magnet class, its Capabilities and the RegisteredApplications value that names them.
!define MAGNET_CLASS "ZendroWebHost.Magnet"
!define CAPABILITIES_PARENT "Software\ZendroWebHost"
!define REGISTERED_APPS "Software\RegisteredApplications"
!define REGISTERED_NAME "Zendro Web Host"
; SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, NULL, NULL)
!define SHCNE_ASSOCCHANGED 0x08000000
; How long a running host may keep its executable busy before setup or uninstall gives up on it.
!define BUSY_RETRIES 100
!define BUSY_RETRY_MS 100

Name "${PRODUCT} ${ZENDRO_VERSION}"
OutFile "${ZENDRO_SETUP_OUT}"
InstallDir "$LOCALAPPDATA\Programs\ZendroWebHost"
; An upgrade goes where the previous version went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${ZENDRO_VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=0 "FileVersion" "${ZENDRO_VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${ZENDRO_VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Var ManifestFile
Var ExePathJson

; Appends UTF-8 text to $ManifestFile; sets the error flag when the write fails. NSIS's own
; FileWrite converts to the ANSI code page, and browsers read manifests as UTF-8, so a profile path
; with letters outside that code page would break the manifest.
Function WriteUtf8
  Exch $0
  Push $1
  Push $2
  Push $3
  System::Call "kernel32::WideCharToMultiByte(i 65001, i 0, w r0, i -1, p 0, i 0, p 0, p 0) i .r1"
  ${If} $1 > 1
    System::Alloc $1
    Pop $2
    System::Call "kernel32::WideCharToMultiByte(i 65001, i 0, w r0, i -1, p r2, i r1, p 0, p 0) i .r3"
    IntOp $3 $3 - 1
    System::Call "kernel32::WriteFile(p $ManifestFile, p r2, i r3, *i 0 r1, p 0) i .r0"
    System::Free $2
    ${If} $0 == 0
    ${OrIf} $1 != $3
      SetErrors
    ${EndIf}
  ${Else}
    SetErrors
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

!macro WriteManifestText text
  Push `${text}`
  Call WriteUtf8
!macroend

; $ExePathJson = the installed executable's path as a JSON string body. Windows paths hold no
; quotes or control characters, so doubling the backslashes is the whole escaping.
Function MakeExePathJson
  Push $0
  Push $1
  Push $2
  StrCpy $0 "$INSTDIR\${EXE}"
  StrCpy $ExePathJson ""
  StrCpy $1 0
  ${Do}
    StrCpy $2 $0 1 $1
    ${IfThen} $2 == "" ${|} ${Break} ${|}
    ${IfThen} $2 == "\" ${|} StrCpy $2 "\\" ${|}
    StrCpy $ExePathJson "$ExePathJson$2"
    IntOp $1 $1 + 1
  ${Loop}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

!macro WriteManifest file listKey listMacro
  ClearErrors
  FileOpen $ManifestFile "$INSTDIR\${file}" w
  ${If} ${Errors}
    Abort "Cannot write $INSTDIR\${file}"
  ${EndIf}
  !insertmacro WriteManifestText `{$\r$\n`
  !insertmacro WriteManifestText `  "name": "${HOST_NAME}",$\r$\n`
  !insertmacro WriteManifestText `  "description": "${HOST_DESCRIPTION}",$\r$\n`
  !insertmacro WriteManifestText `  "path": "$ExePathJson",$\r$\n`
  !insertmacro WriteManifestText `  "type": "stdio",$\r$\n`
  !insertmacro WriteManifestText `  "${listKey}": [$\r$\n`
  !insertmacro ${listMacro}
  !insertmacro WriteManifestText `  ]$\r$\n}$\r$\n`
  FileClose $ManifestFile
  ${If} ${Errors}
    Abort "Cannot write $INSTDIR\${file}"
  ${EndIf}
!macroend

!macro RegisterHost vendorKey manifest
  WriteRegStr HKCU "${vendorKey}\NativeMessagingHosts\${HOST_NAME}" "" "$INSTDIR\${manifest}"
!macroend

; The browser may be running the host right now: a running executable cannot be overwritten but
; can be renamed. The .old left by an earlier update or upgrade may itself still be running and
; block the rename; then the executable can go when it is not running, or else wait a while.
Function MoveAsideInstalledHost
  Push $0
  ${For} $0 1 ${BUSY_RETRIES}
    ${IfNot} ${FileExists} "$INSTDIR\${EXE}"
      ${Break}
    ${EndIf}
    Delete "$INSTDIR\${EXE}.old"
    ClearErrors
    Rename "$INSTDIR\${EXE}" "$INSTDIR\${EXE}.old"
    ${IfNot} ${Errors}
      ${Break}
    ${EndIf}
    Delete "$INSTDIR\${EXE}"
    ${IfNot} ${FileExists} "$INSTDIR\${EXE}"
      ${Break}
    ${EndIf}
    Sleep ${BUSY_RETRY_MS}
  ${Next}
  Pop $0
  ${If} ${FileExists} "$INSTDIR\${EXE}"
    Abort "$INSTDIR\${EXE} is in use and cannot be replaced"
  ${EndIf}
FunctionEnd

Section "ZendroWebHost"
  SetOutPath "$INSTDIR"
  Call MoveAsideInstalledHost
  ClearErrors
  File "/oname=${EXE}" "${ZENDRO_HOST_EXE}"
  ${If} ${Errors}
    Abort "Cannot write $INSTDIR\${EXE}"
  ${EndIf}
  ; Gone unless the previous host is still running; the next update or the uninstaller takes it.
  Delete "$INSTDIR\${EXE}.old"

  Call MakeExePathJson
  !insertmacro WriteManifest "${CHROMIUM_MANIFEST}" "allowed_origins" WriteAllowedOrigins
  !insertmacro WriteManifest "${FIREFOX_MANIFEST}" "allowed_extensions" WriteAllowedExtensions

  ClearErrors
  !insertmacro RegisterHost "Software\Google\Chrome" "${CHROMIUM_MANIFEST}"
  !insertmacro RegisterHost "Software\Chromium" "${CHROMIUM_MANIFEST}"
  !insertmacro RegisterHost "Software\Microsoft\Edge" "${CHROMIUM_MANIFEST}"
  !insertmacro RegisterHost "Software\Mozilla" "${FIREFOX_MANIFEST}"

  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${ZENDRO_VERSION}"
  ; The installed program's own icon (its first, index 0) in Apps & features.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${If} ${Errors}
    Abort "Cannot write the registry keys under HKEY_CURRENT_USER"
  ${EndIf}
SectionEnd

; Another copy of the host may have taken the browser key over since: leave that one registered.
!macro UnregisterHost vendorKey manifest
  ReadRegStr $0 HKCU "${vendorKey}\NativeMessagingHosts\${HOST_NAME}" ""
  ${If} $0 == "$INSTDIR\${manifest}"
    DeleteRegKey HKCU "${vendorKey}\NativeMessagingHosts\${HOST_NAME}"
  ${EndIf}
  DeleteRegKey /ifempty HKCU "${vendorKey}\NativeMessagingHosts"
  DeleteRegKey /ifempty HKCU "${vendorKey}"
!macroend

; A host started by the browser may still hold its executable for a moment.
Function un.DeleteBusyFile
  Exch $0
  Push $1
  ${For} $1 1 ${BUSY_RETRIES}
    Delete "$0"
    ${IfNot} ${FileExists} "$0"
      ${Break}
    ${EndIf}
    Sleep ${BUSY_RETRY_MS}
  ${Next}
  Pop $1
  Pop $0
FunctionEnd

Section "Uninstall"
  ; The .torrent and magnet association belongs to whoever its open command starts; remove it
  ; only when that is this installation's host (the comparison ignores letter case, as paths do).
  StrCpy $1 '"$INSTDIR\${EXE}" "%1"'
  ReadRegStr $0 HKCU "${CLASSES}\Zendro Web\shell\open\command" ""
  ${If} $0 == $1
    ReadRegStr $0 HKCU "${CLASSES}\.torrent" ""
    ${If} $0 == "Zendro Web"
      DeleteRegKey HKCU "${CLASSES}\.torrent"
    ${Else}
      ; .torrent is another program's now; only the host's entry among its candidates goes.
      DeleteRegValue HKCU "${CLASSES}\.torrent\OpenWithProgids" "Zendro Web"
    ${EndIf}
    DeleteRegKey HKCU "${CLASSES}\Zendro Web"
  ${EndIf}
  ReadRegStr $0 HKCU "${CLASSES}\Magnet\shell\open\command" ""
  ${If} $0 == $1
    DeleteRegKey HKCU "${CLASSES}\Magnet"
  ${EndIf}
  ; The registration for Default apps goes with the magnet class it names, when that starts this
  ; installation's host; other programs' RegisteredApplications values stay.
  ReadRegStr $0 HKCU "${CLASSES}\${MAGNET_CLASS}\shell\open\command" ""
  ${If} $0 == $1
    DeleteRegKey HKCU "${CLASSES}\${MAGNET_CLASS}"
    DeleteRegKey HKCU "${CAPABILITIES_PARENT}\Capabilities"
    DeleteRegKey /ifempty HKCU "${CAPABILITIES_PARENT}"
    DeleteRegValue HKCU "${REGISTERED_APPS}" "${REGISTERED_NAME}"
  ${EndIf}
  System::Call "shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)"

  !insertmacro UnregisterHost "Software\Google\Chrome" "${CHROMIUM_MANIFEST}"
  DeleteRegKey /ifempty HKCU "Software\Google"
  !insertmacro UnregisterHost "Software\Chromium" "${CHROMIUM_MANIFEST}"
  !insertmacro UnregisterHost "Software\Microsoft\Edge" "${CHROMIUM_MANIFEST}"
  !insertmacro UnregisterHost "Software\Mozilla" "${FIREFOX_MANIFEST}"

  Push "$INSTDIR\${EXE}"
  Call un.DeleteBusyFile
  Push "$INSTDIR\${EXE}.old"
  Call un.DeleteBusyFile
  Delete "$INSTDIR\${CHROMIUM_MANIFEST}"
  Delete "$INSTDIR\${FIREFOX_MANIFEST}"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only when empty: anything else in the folder is not ours to remove.
  RMDir "$INSTDIR"
  ${If} "$INSTDIR" == "$LOCALAPPDATA\Programs\ZendroWebHost"
    RMDir "$LOCALAPPDATA\Programs"
  ${EndIf}
  ; The host's log and its older half; the folder only when nothing else is in it.
  Delete "$LOCALAPPDATA\ZendroWebHost\host.log"
  Delete "$LOCALAPPDATA\ZendroWebHost\host.log.1"
  RMDir "$LOCALAPPDATA\ZendroWebHost"

  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey /ifempty HKCU "${UNINSTALL_PARENT}"
SectionEnd
