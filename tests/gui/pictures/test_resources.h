// Resource ids of the GUI tests' own pictures and dialog templates (test_resources.rc).
#pragma once

// The bitmap loader's pictures (make_test_pictures.py) and the wizard's backdrop.
#define IDB_TEST_DEPTH1 301
#define IDB_TEST_DEPTH4 302
#define IDB_TEST_DEPTH8 303
#define IDB_TEST_DEPTH16 304
#define IDB_TEST_DEPTH24 305
#define IDB_TEST_DEPTH32 306
#define IDB_TEST_PATTERN 310
#define IDB_TEST_BACKDROP 132
#define IDB_TEST_MISSING 399  // no such resource

// The image button's pictures.
#define IDB_TEST_ACTIVE 501
#define IDB_TEST_NORMAL 502
#define IDB_TEST_DISABLED 503

// The bitmap dialog's template, with control ids as the wizard's.
#define IDD_TEST_SKIN 400
#define IDC_TEST_CHECK 1015
#define IDC_TEST_TEXT 1018
#define IDC_TEST_TRACKBAR 1030
#define IDC_TEST_BUTTON 1006

// The image buttons' and labels' template.
#define IDD_TEST_CONTROLS 600
#define IDC_TEST_CANCEL 2001
#define IDC_TEST_NEXT 2002
#define IDC_TEST_BARE 2003
#define IDC_TEST_TOGGLE 2004
#define IDC_TEST_OTHER 2005
#define IDC_TEST_LABEL 2101
#define IDC_TEST_CENTRED 2102
#define IDC_TEST_ROTATED 2103
#define IDC_TEST_LINK 2104
