@echo off
rem Runs the job kept in the parameter file ExampleParam.ini.
Tarvex.exe /ini=.\ExampleParam.ini
