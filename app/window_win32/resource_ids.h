// SPDX-License-Identifier: GPL-2.0-or-later
// Numbers shared by the resource script and the code. The resource
// compiler reads only the preprocessor, so the main window's control ids
// are spelled out here once more; win32_main_window.cpp checks them against
// WindowControl.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)  // labels and frames nobody talks to
#endif

#define IDD_MAIN_WINDOW 100
#define IDD_SETTINGS 101
#define IDD_BUSY 102
#define IDI_APPLICATION_ICON 200
#define IDB_LOGO 201
#define IDB_BUSY_PICTURE 202
#define IDC_LOGO 1020
#define IDC_BUSY_PICTURE 1021

// The main window (WindowControl).
#define IDC_BLANK_CHECK 1000
#define IDC_READ 1001
#define IDC_PROGRAM 1002
#define IDC_VERIFY 1003
#define IDC_MANUFACTURERS 1004
#define IDC_FILE_NAME 1005
#define IDC_NEW_FILE 1006
#define IDC_PREFS 1007
#define IDC_ID_CHECK 1008
#define IDC_LOCK2 1009
#define IDC_LOCK3 1010
#define IDC_DEVICES 1011
#define IDC_VERIFY_BOX 1012
#define IDC_FF_SAVE 1013
#define IDC_ERASE 1014
#define IDC_LOCK1 1015
#define IDC_STATUS 1016
#define IDC_CANCEL 1017
#define IDC_PROGRESS 1019
#define IDC_CHECKSUM 1022

// "Einstellungen"; OK and "Abbrechen" are IDOK and IDCANCEL.
#define IDC_PORT 1009
#define IDC_TIMEOUT 1005
#define IDC_KORREKTUR 1016
#define IDC_HEX_LINE 1017
#define IDC_BEEP 1018
