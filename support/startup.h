#pragma once
// What the program's entry hands to WinMain, worked out as a C runtime's start-up does.

#include <windows.h>

// The command line past the program's name and the blanks after it; a name that begins with a
// double quote ends at the next double quote, any other at the first blank.
char* CommandLineTail(char* commandLine);

// wShowWindow when the starter set STARTF_USESHOWWINDOW, otherwise SW_SHOWDEFAULT.
int StartupShowCommand(const STARTUPINFOA& startup);
