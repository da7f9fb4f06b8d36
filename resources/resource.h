// Resource ids of the program's dialogs, menus, icons, bitmaps and strings.
// Plain #defines: this file is read by the resource compiler as well as by C++.
#pragma once

// Dialog templates.
#define IDD_ABOUTBOX           100
#define IDD_VAULTWREN_DIALOG   102
#define IDD_MESSAGE_DLG        129
#define IDD_ITEM_EDIT          161
#define IDD_OPTIONS            170
#define IDD_RESTORE            180

// Strings.
#define IDS_ABOUTBOX           101

// Icons.
#define IDR_MAINFRAME          128
#define IDI_BROWSE             163
#define IDI_TRAY_IDLE          174
#define IDI_TRAY_RUNNING       176
#define IDI_CLOSE_MARK         141

// Menu item bitmaps (13 x 13) and the toolbar strips (ten 32 x 32 images each).
#define IDB_MENU_START         133
#define IDB_MENU_STOP          136
#define IDB_MENU_PAUSE         137
#define IDR_TOOLBAR            143
#define IDB_TOOLBAR_COLD       159
#define IDB_TOOLBAR_HOT        160

// Menus: the tray menu and the task context menu (each holds one sub-menu).
#define IDR_TRAY_MENU          132
#define IDR_TASK_MENU          172

// Main window controls.
#define IDC_TASK_LIST          1003
#define IDC_STATUS_PANEL       1024
#define IDC_STATUS_GROUP       1025
#define IDC_TASK_LIST_LABEL    1026
#define IDC_TOOLBAR            0xE800

// The About item appended to the main window's system menu.
#define IDM_ABOUTBOX           0x0010

// Commands (toolbar, tray menu, task context menu).
#define ID_SHOW_WINDOW         32788
#define ID_EXIT                32789
#define ID_PAUSE               32790
#define ID_STOP                32792
#define ID_START               32795
#define ID_UPDATE              32797
#define ID_ADD_TASK            32798
#define ID_EDIT_TASK           32799
#define ID_DELETE_TASK         32800
#define ID_MOVE_UP             32801
#define ID_MOVE_DOWN           32802
#define ID_ABOUT               32809
#define ID_OPTIONS             32810
#define ID_CLEAN_HISTORY       32821
#define ID_RESET_TASK          32822
#define ID_START_TASK          32823
#define ID_PAUSE_TASK          32824
#define ID_STOP_TASK           32825
#define ID_OPEN_BACKUP_FOLDER  32828
#define ID_OPEN_HISTORY_FOLDER 32829
#define ID_VERIFY_TASK         32830
#define ID_RESTORE_TASK        32831

// Labels that no code addresses.
#ifndef IDC_STATIC
#define IDC_STATIC             (-1)
#endif

// Task editor.
#define IDC_ITEM_BROWSE_SOURCE 1000
#define IDC_ITEM_BROWSE_DEST   1001
#define IDC_ITEM_SOURCE        1007
#define IDC_ITEM_DEST          1008
#define IDC_ITEM_NAME          1009
#define IDC_ITEM_START         1010
#define IDC_ITEM_CLOCK         1011
#define IDC_ITEM_START_TIME    1012
#define IDC_ITEM_CLOCK_HOUR    1013
#define IDC_ITEM_CLOCK_MINUTE  1014
#define IDC_ITEM_BUSY_NOTE     1015
#define IDC_ITEM_START_LABEL   1016
#define IDC_ITEM_CLOCK_LABEL   1017
#define IDC_ITEM_CLOCK_COLON   1018
#define IDC_ITEM_FOLLOW        1019
#define IDC_ITEM_HISTORY       1020
#define IDC_ITEM_AUTO          1021
#define IDC_ITEM_AUTO_MINUTE   1022
#define IDC_ITEM_AUTO_LABEL    1023
#define IDC_ITEM_CLEAN_HISTORY 1030
#define IDC_ITEM_RESET         1031
#define IDC_ITEM_OK            1039
#define IDC_ITEM_MONDAY        1041
#define IDC_ITEM_TUESDAY       1047
#define IDC_ITEM_WEDNESDAY     1048
#define IDC_ITEM_THURSDAY      1050
#define IDC_ITEM_FRIDAY        1052
#define IDC_ITEM_SATURDAY      1054
#define IDC_ITEM_SUNDAY        1056

// Settings dialog.
#define IDC_OPTIONS_MIN_TIME   1027
#define IDC_OPTIONS_SPEED      1028
#define IDC_OPTIONS_AUTORUN    1037
#define IDC_OPTIONS_MIN_START  1038
#define IDC_OPTIONS_OK         1039

// About window.
#define IDC_ABOUT_FEEDBACK     1000
#define IDC_ABOUT_VERSION      1009

// Notice popup: the page host, the close mark and the title label.
#define IDC_NOTICE_BROWSER     1001
#define IDC_NOTICE_CLOSE       1002
#define IDC_NOTICE_TITLE       1026

// Restore dialog
#define IDC_RESTORE_TARGET     1060
#define IDC_RESTORE_BROWSE     1061
#define IDC_RESTORE_PREVIOUS   1062
