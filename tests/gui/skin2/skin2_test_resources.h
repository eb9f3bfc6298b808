// Resource ids of the skinned-control GUI tests: button pictures and the test dialog.
#pragma once

#define IDB_T_ACTIVE 501
#define IDB_T_NORMAL 502
#define IDB_T_DISABLED 503
#define IDB_T_MISSING 599

#define IDD_T_CONTROLS 600
#define IDC_T_CANCEL 2001
#define IDC_T_NEXT 2002
#define IDC_T_BARE 2003
#define IDC_T_TOGGLE 2004
#define IDC_T_OTHER 2005
#define IDC_T_LABEL 2101
#define IDC_T_CENTRED 2102
#define IDC_T_ROTATED 2103
#define IDC_T_LINK 2104
