// Resource ids of the program's dialogs, menus and strings.

// Task editor: the controls whose entries are checked.
#define IDC_ITEM_SOURCE        1007
#define IDC_ITEM_DEST          1008
#define IDC_ITEM_NAME          1009
#define IDC_ITEM_START_TIME    1012
#define IDC_ITEM_CLOCK_HOUR    1013
#define IDC_ITEM_CLOCK_MINUTE  1014
#define IDC_ITEM_AUTO_MINUTE   1022
