// Resource and command ids of COBWELD.EXE.
#pragma once

// Icons
#define IDR_MAINFRAME               128

// Dialogs
#define IDD_ABOUTBOX                100
#define IDD_MAIN                    102
#define IDD_ENTRY                   129
#define IDD_ICON                    131
#define IDD_HISTORY                 133

// System-menu commands of the main window
#define IDM_ABOUTBOX                0x0010
#define IDM_CREATE_GROUP            0x0020
#define IDM_UNDO_CAPTURE            0x0030
#define IDM_EXPORT_SETTINGS         0x0040
#define IDM_IMPORT_SETTINGS         0x0050
#define IDM_HISTORY                 0x0060

// The help command, shared by every dialog's Help button
#ifndef ID_HELP
#define ID_HELP                     0xE145
#endif

// Main window
#define IDC_PROGRAM_LIST            1001
#define IDC_DELETE                  1003
#define IDC_NEW                     1004
#define IDC_PROPERTIES              1005
#define IDC_UP                      1015
#define IDC_DOWN                    1016
#define IDC_EXIT                    1019
#define IDC_REACQUIRE               1021

// Entry properties dialog
#define IDC_BROWSE                  4
#define IDC_TITLE                   1004
#define IDC_COMMAND_LINE            1005
#define IDC_DIRECTORY               1006
#define IDC_RUN_MINIMIZED           1007
#define IDC_REGISTRY_NAME           1008
#define IDC_ICON_PREVIEW            1009
#define IDC_CHANGE_ICON             1010
#define IDC_RETRIEVE_AGAIN          1020
#define IDC_SETTINGS_PATHS          1022
#define IDC_ADD_PATH                1023
#define IDC_REMOVE_PATH             1024
// The add button's menu
#define IDC_ADD_FOLDER              1025
#define IDC_ADD_FILE                1026

// Icon picker
#define IDC_ICON_FILE               1011
#define IDC_ICON_LIST               1012
#define IDC_ICON_BROWSE             1013

// Settings history
#define IDC_HISTORY_LIST            1030
#define IDC_HISTORY_RESTORE         1031
#define IDC_HISTORY_EXPORT          1032
#define IDC_HISTORY_COMPARE         1033
#define IDC_HISTORY_KEEP            1034
#define IDC_HISTORY_DELETE          1035

// Strings
#define IDS_ABOUTBOX                101
#define IDS_CREATE_GROUP            1017
#define IDS_CONFIRM_ABANDON_WAIT    1018
#define IDS_LAUNCH_FAILED           1019
#define IDS_WAITING_SUFFIX          1021
#define IDS_CAPTURE_FAILED          1022
#define IDS_CONFIRM_REACQUIRE       1023
#define IDS_CONFIRM_DELETE          1024
#define IDS_ALREADY_RUNNING         1025
// Texts the program keeps beside the numbered ones above
#define IDS_RESTORE_FAILED          1101
#define IDS_ENUM_FAILED             1102
#define IDS_GROUP_CREATE_NOTICE     1103
#define IDS_GROUP_UPDATE_QUESTION   1104
#define IDS_PROGRAM_FILTER          1105
#define IDS_PROGRAM_BROWSE_TITLE    1106
#define IDS_ICON_FILTER             1107
#define IDS_ICON_BROWSE_TITLE       1108
#define IDS_HELP_TITLE              1109
#define IDS_UNDO_CAPTURE            1110
#define IDS_EXPORT_SETTINGS         1111
#define IDS_IMPORT_SETTINGS         1112
#define IDS_CONFIRM_UNDO            1113
#define IDS_UNDO_FAILED             1114
#define IDS_REG_FILTER              1115
#define IDS_EXPORT_TITLE            1116
#define IDS_IMPORT_TITLE            1117
#define IDS_EXPORT_FAILED           1118
#define IDS_IMPORT_FAILED           1119
#define IDS_LINE_SUFFIX             1120
// Why a registry file was refused: this id plus RegFileError::Kind
#define IDS_REGFILE_ERROR_BASE      1130
#define IDS_CHANGED_OUTSIDE         1140
// The titles of long work's progress
#define IDS_PROGRESS_CHECK          1141
#define IDS_PROGRESS_RESTORE        1142
#define IDS_PROGRESS_CAPTURE        1143
#define IDS_PROGRESS_UNDO           1144
#define IDS_PROGRESS_EXPORT         1145
#define IDS_PROGRESS_IMPORT         1146
// A field whose text the ANSI code page cannot hold: the message, and the
// fields' names
#define IDS_NOT_IN_CODE_PAGE        1150
#define IDS_FIELD_TITLE             1151
#define IDS_FIELD_COMMAND_LINE      1152
#define IDS_FIELD_DIRECTORY         1153
#define IDS_FIELD_REGISTRY          1154
#define IDS_FIELD_ICON_FILE         1155
// Why an operation on an entry's settings failed: this id plus
// CSettingsFailure::Kind
#define IDS_SETTINGS_FAILURE_BASE   1160
// Why a settings path cannot be one: this id plus PathRefusal
#define IDS_PATH_REFUSAL_BASE       1200
#define IDS_RESTORE_REFUSED         1210
#define IDS_CONFIRM_REACQUIRE_FILES 1211
#define IDS_FIELD_SETTINGS          1212
#define IDS_ADD_FOLDER              1213
#define IDS_ADD_FILE                1214
#define IDS_ADD_FOLDER_TITLE        1215
#define IDS_ADD_FILE_TITLE          1216
#define IDS_ALL_FILES_FILTER        1217
#define IDS_PATH_REFUSED            1218
// The settings history
#define IDS_HISTORY_MENU            1170
#define IDS_HISTORY_CAPTION         1171
#define IDS_HISTORY_TIME            1172
#define IDS_HISTORY_REASON          1173
#define IDS_HISTORY_SIZE            1174
#define IDS_HISTORY_KEPT            1175
#define IDS_HISTORY_KEY_SIZE        1176
#define IDS_HISTORY_FILES_SIZE      1177
#define IDS_REASON_CURRENT          1178
#define IDS_CONFIRM_BRING_BACK      1179
#define IDS_CONFIRM_REMOVE_GENERATION 1180
#define IDS_COMPARE_TITLE           1181
#define IDS_COMPARE_SUFFIX          1182
#define IDS_COMPARE_FAILED          1183
#define IDS_REMOVE_GENERATION_FAILED 1184
#define IDS_PROGRESS_COMPARE        1185
// Why a generation was made: this id plus HistoryReason
#define IDS_REASON_BASE             1190

// The help text, a UTF-8 text resource of type HELPTEXT; the framework's
// help window looks for it under this id
#define IDR_HELP_TEXT               1
