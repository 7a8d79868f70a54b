// Resource and control identifiers of OrvoDiag. The numbers are part of the
// program's window layout: other code and tests find controls by them.
#pragma once

// Dialog templates.
#define IDD_ABOUTBOX 100        // About box
#define IDD_ORVODIAG_DIALOG 102 // main window
#define IDD_FILES_PAGE 130      // Files tab page
#define IDD_SYSTEM_PAGE 131     // System tab page
#define IDD_LOGFILES_PAGE 132   // Log Files tab page

// Icon and strings.
#define IDR_MAINFRAME 128 // application icon
#define IDS_ABOUTBOX 101  // window-menu entry "&About OrvoDiag..."

// The probe programs that load a library or test a driver in a process of its own,
// one per machine type; unpacked when a test needs them.
#define IDR_PROBE_X86 150
#define IDR_PROBE_X64 151

// Window-menu command of the About entry (low four bits clear, as system commands need).
#define IDM_ABOUTBOX 0x0010

// About box (dialog 100): the build's full version, machine type and date.
#define IDC_ABOUT_BUILD 1101

// Main window (dialog 102).
#define IDC_TAB_STRIP 1001 // placeholder, then the tab strip itself
#define IDC_STATUS 1003    // status line
#define IDC_SPINNER 1004   // activity indicator
#define IDC_SCAN 1009      // Scan button
#define IDC_SAVE 1010      // Save button
// Exit is the standard IDCANCEL (2).

// Windows created by the main window itself.
#define IDC_TAB_STRIP_NEW 3001 // the tab strip until it takes the placeholder's id
#define IDC_PAGE_SYSTEM 3002
#define IDC_PAGE_FILES 3003
#define IDC_PAGE_LOGFILES 3004

// Tree pages (dialogs 130 and 131).
#define IDC_TREE 1000
// System page (dialog 131): controls below the tree, hidden.
#define IDC_SYSTEM_EDIT 1010
#define IDC_SYSTEM_CALC 1012

// Log Files page (dialog 132).
#define IDC_LOG_SELECTOR 1016
#define IDC_LOG_TEXT 1017
#define IDC_LOG_LABEL 1018
#define IDC_LOG_OPEN 1019
// The find row that takes the selector row's place (hidden until Ctrl+F).
#define IDC_LOG_FIND_LABEL 1020
#define IDC_LOG_FIND 1021
#define IDC_LOG_FIND_STATUS 1022

// The find row of the tree pages, made by the page itself below its tree.
#define IDC_FIND_LABEL 1030
#define IDC_FIND_TEXT 1031
#define IDC_FIND_RESULT 1032

// Context-menu commands of the tree pages' rows.
#define IDM_COPY_ROW 32801
#define IDM_COPY_MD5 32802
#define IDM_COPY_PATH 32803

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
