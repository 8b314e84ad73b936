@echo off
rem Trains on the example text files and writes the predictions to out\po.txt.
Tarvex.exe /tif=.\data\ti.txt /tof=.\data\to.txt /pif=.\data\pi.txt /pof=.\out\po.txt /log=.\out\run.log /ep=3000
