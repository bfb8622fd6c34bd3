#pragma once

#include <string>

// The settings file after a first run at the designed size and position on a 1920 x 1080, 96-dpi screen, with
// the database C:\Data\TEST.FDB and every other entry at its default.
inline const std::string WorkedExampleIni = "[Form1]\r\n"
    "FormVersion=0\r\n"
    "Flags=0\r\n"
    "PixelsPerInch=96\r\n"
    "MinMaxPos(1920x1080)=-1,-1,-1,-1\r\n"
    "MinMaxPos=-1,-1,-1,-1\r\n"
    "NormPos(1920x1080)=307,107,964,517\r\n"
    "NormPos=307,107,964,517\r\n"
    "edDBName_Text=C:\\Data\\TEST.FDB\r\n"
    "edUser_Text=SYSDBA\r\n"
    "sePeriod_Value=10\r\n"
    "seAmount_Value=10\r\n"
    "\r\n"
    "[Form1\\mSQL_Lines]\r\n"
    "Count=1\r\n"
    "Item0=select 1 from rdb$database\r\n"
    "\r\n";
