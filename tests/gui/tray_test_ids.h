// Resources of the tray icon's tests.
#pragma once

// A menu whose first item is a command, not a popup.
#define IDR_TEST_FLAT_MENU 900
#define ID_TEST_FLAT_ITEM 901
// An id no menu has.
#define IDR_TEST_NO_MENU 4242
