@echo off
rem Installs the Mako development kit silently with the fleet's install configuration and turns
rem the launcher's own negative exit codes into the Windows Installer's, for deployment tools that
rem know only those. Keep mako-forge-setup.exe and install.cfg beside this script.
setlocal
rem This launcher's build, and where its kit is registered: the shipped 32-bit launcher's kit is in
rem the registry's 32-bit view (the 64-bit launcher's: /reg:64).
set thisbuild=9
set kitkey=HKLM\SOFTWARE\Velmora\Mako Development Kit\3.1.0_27
set view=/reg:32
rem The launcher's log, in the temporary folder of the account that runs this script.
set log=%TEMP%\musched.log
rem INSTALLCFG needs an absolute path on a drive: a script started from a share copies it first.
rem The launcher runs elevated and hands the file's MSI_CMDLINE to the installer as it stands, while
rem a new folder under C:\ lets every signed-in user change what it holds: the folder gets its own
rem rules (none inherited), by which only Administrators and the system account may change it.
if not exist C:\Deploy mkdir C:\Deploy
icacls C:\Deploy /setowner *S-1-5-32-544 /t /q >nul && icacls C:\Deploy /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX /t /q >nul
if errorlevel 1 (
  echo The access rules of C:\Deploy could not be set: nothing installed.
  exit /b 1603
)
if exist C:\Deploy\install.cfg del /f /q C:\Deploy\install.cfg
copy /y "%~dp0install.cfg" C:\Deploy\install.cfg >nul
rem The log keeps earlier runs: count their "newer build" lines, so that only this run's lines count.
call :countnewer before
start "" /wait "%~dp0mako-forge-setup.exe" /s INSTALLCFG=C:\Deploy\install.cfg /l C:\Deploy\forge-msi.log
set rc=%ERRORLEVEL%
if not "%rc%"=="-1" goto map
rem -1: another installation runs (worth a retry: 1618), or a newer build of this version is
rem installed, which the launcher never replaces: then there is nothing to do, and a retry would
rem only meet the same refusal.
call :newerbuild
if defined newer goto nothingtodo
echo The launcher returned -1: another Mako installation is in progress (or see %log%). Retry later.
exit /b 1618
:nothingtodo
echo A newer build of the Mako development kit 3.1.0_27 is installed (%newer%): nothing to do.
exit /b 0
:map
rem -80: a faulty setting; 1639 is the Windows Installer's "invalid command line".
if "%rc%"=="-80" exit /b 1639
rem -3: the Windows Installer cannot be found; 1601 is "the service could not be accessed".
if "%rc%"=="-3" exit /b 1601
rem -99: an unexpected failure, logged in musched.log.
if "%rc%"=="-99" exit /b 1603
exit /b %rc%

rem Sets newer to what shows a newer build installed, or leaves it empty. The kit's BuildNumber
rem decides when it is a plain number: it is what the launcher compared with its own build. The
rem log's line of this run decides when the registry gives no number (value unreadable, or the
rem kit in the other registry view).
:newerbuild
set newer=
set build=
for /f "tokens=1,2,*" %%a in ('reg query "%kitkey%" /v BuildNumber %view% 2^>nul') do if /i "%%a"=="BuildNumber" set build=%%c
if not defined build goto newerbylog
for /f "delims=0123456789" %%x in ("%build%") do goto newerbylog
rem Leading zeros would make cmd read the number as octal.
:stripzero
if not "%build:~1%"=="" if "%build:~0,1%"=="0" (
  set build=%build:~1%
  goto stripzero
)
rem Ten digits and more are beyond cmd's numbers, and newer in any case (padded: some cmd
rem versions read past the end of a variable for an offset beyond it).
set probe=%build%##########
if not "%probe:~9,1%"=="#" goto newerbybuild
if %build% LEQ %thisbuild% goto :eof
:newerbybuild
set newer=BuildNumber %build%
goto :eof
:newerbylog
call :countnewer after
if %after% GTR %before% set newer=musched.log: "is newer than current build"
goto :eof

rem Sets the variable named %1 to the number of "newer build" lines in the launcher's log.
:countnewer
set %1=0
for /f "delims=" %%l in ('type "%log%" 2^>nul ^| find "is newer than current build"') do set /a %1+=1
goto :eof
