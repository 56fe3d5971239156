@echo off
rem Makes an update for the players: publishes the client folder into the output folder and
rem checks the result the way a launcher will. Edit the three lines below, then double-click
rem this file. The first run, when the key file does not exist yet, makes the key.
setlocal
set "KEY_FILE=C:\TarnKeys\tarn-signing-key.txt"
set "CLIENT_DIR=C:\L2Client"
set "OUT_DIR=C:\TarnUpdate"

rem Optional: the text the launcher shows with the result, and more publish options, e.g.
rem set "EXTRA_OPTIONS=--once system/Option.ini --exclude *.log" (see: tarnbuilder publish --help).
set "BUILD_LABEL=%DATE% %TIME:~0,5%"
set "EXTRA_OPTIONS="

rem Paths with letters beyond English print correctly in UTF-8.
chcp 65001 >nul
set "TARNBUILDER=%~dp0tarnbuilder.exe"
if not exist "%TARNBUILDER%" set "TARNBUILDER=tarnbuilder.exe"

if exist "%KEY_FILE%" goto publish
echo No key yet: making one in %KEY_FILE%
for %%F in ("%KEY_FILE%") do if not exist "%%~dpF" mkdir "%%~dpF"
"%TARNBUILDER%" keygen "%KEY_FILE%"
if errorlevel 1 goto failed
echo Keep a backup of %KEY_FILE%, and never put it on the web server or in the client folder.
echo The launcher's TarnLauncher.json needs the public key printed above (tarnbuilder config).
echo.

:publish
"%TARNBUILDER%" publish --key "%KEY_FILE%" --client "%CLIENT_DIR%" --out "%OUT_DIR%" --build "%BUILD_LABEL%" %EXTRA_OPTIONS%
if errorlevel 1 goto failed
"%TARNBUILDER%" verify --dir "%OUT_DIR%" --key "%KEY_FILE%"
if errorlevel 1 goto broken
echo.
echo The update is ready in %OUT_DIR%.
echo Upload it to the web server: the "files" folder first, manifest.json and manifest.sig last.
pause
exit /b 0

:broken
echo.
echo The published folder has problems (listed above): do not upload it.
pause
exit /b 1

:failed
echo.
echo The update was NOT made: read the messages above.
pause
exit /b 1
