@echo off
rem Installs the Mako development kit silently with the fleet's install configuration and turns
rem the launcher's own negative exit codes into the Windows Installer's, for deployment tools that
rem know only those. Keep mako-forge-setup.exe and install.cfg beside this script.
setlocal
rem INSTALLCFG needs an absolute path on a drive: a script started from a share copies it first.
if not exist C:\Deploy mkdir C:\Deploy
copy /y "%~dp0install.cfg" C:\Deploy\install.cfg >nul
start "" /wait "%~dp0mako-forge-setup.exe" /s INSTALLCFG=C:\Deploy\install.cfg /l C:\Deploy\forge-msi.log
set rc=%ERRORLEVEL%
rem -1: another installation runs (or a newer build is installed): 1618 makes the tool retry.
if "%rc%"=="-1" exit /b 1618
rem -80: a faulty setting; 1639 is the Windows Installer's "invalid command line".
if "%rc%"=="-80" exit /b 1639
rem -3: the Windows Installer cannot be found; 1601 is "the service could not be accessed".
if "%rc%"=="-3" exit /b 1601
rem -99: an unexpected failure, logged in musched.log.
if "%rc%"=="-99" exit /b 1603
exit /b %rc%
