@echo off
rem Trains on sheet Data of the example workbook and writes the predictions into sheet Predict.
Tarvex.exe /tif=.\data\example.xlsm /tis=Data!A2:C121 /tof=.\data\example.xlsm /tos=Data!D2:D121 /pif=.\data\example.xlsm /pis=Predict!A2:C11 /pof=.\data\example.xlsm /pos=Predict!D2:D11 /log=.\out\run.log
