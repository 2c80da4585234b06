// Dialog templates of the window layer's own tests.
#pragma once

#define IDD_TEST_CONTROLS 100
#define IDD_TEST_LIST 101
#define IDD_TEST_PAGE_NUMBER 103
#define IDD_TEST_PAGE_CHECK 104

#define IDC_TEST_FIRST_EDIT 1001
#define IDC_TEST_SECOND_EDIT 1002
#define IDC_TEST_LIST 1004
#define IDC_TEST_NUMBER 1005
#define IDC_TEST_CHECK 1006
#define IDC_TEST_SCROLL 1007
#define IDC_TEST_COMBO 1008
#define IDC_TEST_LISTBOX 1009
