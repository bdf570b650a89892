#pragma once
// Resource ids of the launcher. Shared by the resource script, the code, the
// tests and benchmarks, and the scripts that drive the window (scripts/lib/
// launcher_window.sh reads the values from here through the preprocessor).

// The class of the launcher's window: its dialog template names it, the
// application registers it, and other programs find the window by it.
#define LAUNCHER_WINDOW_CLASS "VLR6_WINDOWCLASS_INSTLAUNCHER"
#ifndef RC_INVOKED
#define VELORA_WIDE_TEXT_(text) L##text
#define VELORA_WIDE_TEXT(text) VELORA_WIDE_TEXT_(text)
#define LAUNCHER_WINDOW_CLASS_W VELORA_WIDE_TEXT(LAUNCHER_WINDOW_CLASS)
#endif

// Dialog templates
#define IDD_LAUNCHER 102
#define IDD_PROGRESS 143

// Icons
#define IDI_APP 128

// Bitmaps
#define IDB_BACKGROUND 129
#define IDB_CLOSE_NORMAL 130
#define IDB_CLOSE_PRESSED 131
#define IDB_CLOSE_HOVER 132
#define IDB_INSTALL_NORMAL 133
#define IDB_INSTALL_PRESSED 134
#define IDB_INSTALL_HOVER 135
#define IDB_GUIDE_NORMAL 136
#define IDB_GUIDE_PRESSED 137
#define IDB_GUIDE_HOVER 138
#define IDB_READER 139

// Controls of the launcher dialog
#define IDC_CHOOSE_FOLDER 1000
#define IDC_GUIDE 1001
#define IDC_READER 1002
#define IDC_VERSION 1007

// Controls of the progress dialog
#define IDC_WAIT_TEXT 1003
#define IDC_WAIT_PROGRESS 1005

// String table (Japanese)
#define IDS_SOCKETS_INIT_FAILED 103
#define IDS_DOWNLOAD_FAILED_USE_LOCAL 104
#define IDS_DOWNLOAD_FAILED_CANNOT_INSTALL 105
#define IDS_NEW_MAJOR_RELEASED_VERSION 106
#define IDS_NEW_MAJOR_RELEASED_INSTALL_OLD 107
#define IDS_ADMIN_RIGHTS_REQUIRED 108
#define IDS_WINDOW_TITLE 109
#define IDS_CHOOSE_FOLDER 110
#define IDS_READER_REQUIRED 111
#define IDS_LATEST_MANUAL_PAGE 112
#define IDS_CHECKING_LATEST_INSTALLER 113
#define IDS_DOWNLOADING_LATEST_INSTALLER 114
#define IDS_INSTALLER_INFO_FAILED 115
#define IDS_INSTALLER_PUBLISHER_UNVERIFIED 116
