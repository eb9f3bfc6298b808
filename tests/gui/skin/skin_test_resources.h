// Resource ids of the skin GUI tests' own pictures and dialog template.
#pragma once

#define IDB_TEST_DEPTH1 301
#define IDB_TEST_DEPTH4 302
#define IDB_TEST_DEPTH8 303
#define IDB_TEST_DEPTH16 304
#define IDB_TEST_DEPTH24 305
#define IDB_TEST_DEPTH32 306
#define IDB_TEST_PATTERN 310
#define IDB_TEST_BACKDROP 132
#define IDB_TEST_MISSING 399

#define IDD_TEST_SKIN 400
#define IDC_TEST_CHECK 1015
#define IDC_TEST_TEXT 1018
#define IDC_TEST_TRACKBAR 1030
#define IDC_TEST_BUTTON 1006
