@echo off
rem Registers VexmarExt.dll for 64-bit hosts (x64) and 32-bit hosts (x86), each with the
rem regsvr32 of its bitness. "register.cmd /u" (or unregister.cmd) removes the entries
rem again. The DLLs are registered where they are: unpack the package into its lasting
rem place first. Needs administrator rights (the entries go to HKEY_LOCAL_MACHINE).
setlocal
set "HERE=%~dp0"
set "SWITCH="
set "DONE=registered"
if /i "%~1"=="/u" (
  set "SWITCH=/u"
  set "DONE=unregistered"
)
echo VexmarExt: %DONE:registered=registering% the DLLs in %HERE%

rem The rights regsvr32 needs: writing under HKEY_LOCAL_MACHINE\SOFTWARE\Classes.
reg add "HKLM\SOFTWARE\Classes\VexmarExt.RightsCheck" /f >nul 2>&1
if errorlevel 1 goto :no_rights
reg delete "HKLM\SOFTWARE\Classes\VexmarExt.RightsCheck" /f >nul 2>&1
echo Administrator rights: yes.

rem On 64-bit Windows System32 holds the 64-bit regsvr32 and SysWOW64 the 32-bit one;
rem a 32-bit command prompt (PROCESSOR_ARCHITEW6432 set) reaches the 64-bit one as
rem Sysnative. On 32-bit Windows System32 holds the 32-bit one.
set "SYS32=%SystemRoot%\System32"
set "SYS64="
if /i not "%PROCESSOR_ARCHITECTURE%"=="x86" set "SYS64=%SystemRoot%\System32"
if defined PROCESSOR_ARCHITEW6432 set "SYS64=%SystemRoot%\Sysnative"
if defined SYS64 set "SYS32=%SystemRoot%\SysWOW64"

set "FAILED=0"
if defined SYS64 (
  call :one x64 "%SYS64%"
) else (
  echo x64: skipped, this is 32-bit Windows.
)
call :one x86 "%SYS32%"
if "%FAILED%"=="0" (
  echo Done.
) else (
  echo Not everything was %DONE%: see above.
)
call :pause_if_clicked
exit /b %FAILED%

:one
set "DLL=%HERE%%~1\VexmarExt.dll"
if not exist "%DLL%" goto :missing
if not exist "%~2\regsvr32.exe" goto :no_regsvr32
"%~2\regsvr32.exe" /s %SWITCH% "%DLL%"
set "RC=%errorlevel%"
rem Paths are echoed outside parenthesised blocks: "Program Files (x86)" would end one.
if not "%RC%"=="0" goto :failed
echo %~1: %DONE% %DLL% with %~2\regsvr32.exe
exit /b 0

:failed
echo %~1: FAILED: %~2\regsvr32.exe %SWITCH% gave code %RC% for %DLL%
set "FAILED=1"
exit /b 0

:missing
echo %~1: FAILED: %DLL% is missing.
set "FAILED=1"
exit /b 0

:no_regsvr32
echo %~1: FAILED: there is no %~2\regsvr32.exe
set "FAILED=1"
exit /b 0

:no_rights
echo Administrator rights: no. Nothing was changed.
echo Right-click %~nx0 and choose "Run as administrator", or run it from an
echo administrator command prompt.
call :pause_if_clicked
exit /b 5

:pause_if_clicked
rem Started from Explorer the window would close before the report could be read.
echo %CMDCMDLINE% | find /i "%~nx0" >nul && pause
exit /b 0
