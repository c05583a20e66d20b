#pragma once
// Resource and control ids of HoraluxCons, kept by hand. The numbers are fixed by the
// product (other programs and the help file refer to them); do not renumber. Plain
// defines so that the .rc file, the Win32 shell and the portable core can share them.

// Program-wide resources.
#define IDI_HORALUX 137        // the clock icon (32x32 and 16x16)
#define IDB_ABOUT_PICTURE 145  // the picture of the About box
#define IDS_NO_RIGHTS 139      // "You have not rights to change options. ..."

// Main window (dialog template 132).
#define IDD_CONSOLE 132
#define IDC_SYNCHRONIZE_NOW 1004
#define IDC_RESULT 1006
#define IDC_OPTIONS 1007
#define IDC_SERVER 1008
#define IDC_HELP_BUTTON 1009
#define IDC_LOG 1010
#define IDC_ABOUT 1012
#define IDC_BREAK 1013
#define IDC_CLEAR_LOG 1016
#define IDC_SERVER_TITLE 1018
#define IDC_PROGRESS 1036
#define IDC_HISTORY 1104  // an id of our own: the History window came later

// History window (template 153; ids of our own).
#define IDD_HISTORY 153
#define IDC_HISTORY_DAY 1110
#define IDC_HISTORY_WEEK 1111
#define IDC_HISTORY_90_DAYS 1112
#define IDC_HISTORY_LAST_RUN 1113
#define IDC_HISTORY_FREQUENCY 1114
#define IDC_HISTORY_COPY 1115

// About box (dialog template 151). The product fixes only IDOK here; the two statics
// carry ids of our own so that tests can read them.
#define IDD_ABOUT 151
#define IDC_ABOUT_PICTURE 1100
#define IDC_ABOUT_VERSION 1101

// Options dialog (template 131).
#define IDD_OPTIONS 131
#define IDC_RESTORE_DEFAULTS 3
#define IDC_OPTIONS_HELP 1009
#define IDC_MODE_DAILY 1019
#define IDC_MODE_ON_START 1020
#define IDC_MODE_HOURLY 1024
#define IDC_MODE_ON_DEMAND 1025
#define IDC_MODE_CONTINUOUS 1103  // an id of our own: the fifth mode came later
#define IDC_AHEAD 1037
#define IDC_BACKWARD 1038
#define IDC_MINUTES 1014
#define IDC_MINUTES_SPIN 1015
#define IDC_SECONDS 1016
#define IDC_SECONDS_SPIN 1017
#define IDC_ATTEMPTS 1022
#define IDC_ATTEMPTS_SPIN 1023
#define IDC_ONLY_SUCCESS 1012
#define IDC_LOG_LINES 1006
// Shown in the Options and the Time Servers dialog while the organisation's policy manages a
// setting there (an id of our own, like the About box's).
#define IDC_POLICY_NOTE 1102

// Time Servers dialog (template 147).
#define IDD_SERVERS 147
#define IDC_RESTORE_SERVERS 4
#define IDC_ADD_SERVER 5
#define IDC_DELETE_SERVER 6
#define IDC_CURRENT_SERVER 1010
#define IDC_SERVER_LIST 1034

// Add New Server dialog (template 148).
#define IDD_ADD_SERVER 148
#define IDC_NEW_URL 1007
#define IDC_NEW_TITLE 1008
