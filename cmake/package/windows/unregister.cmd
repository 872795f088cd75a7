@echo off
rem Removes the registration of both VexmarExt.dll (x64 and x86); see register.cmd.
call "%~dp0register.cmd" /u
