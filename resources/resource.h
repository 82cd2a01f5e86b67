// Resource ids of the program: templates, menus, pictures, strings, and the
// control and command ids its windows share with them.
#pragma once

// Dialog templates.
#define IDD_ABOUT 100
#define IDD_CHAT 204
#define IDD_INPUT_PANEL 205
#define IDD_CALL 206
#define IDD_SETTINGS 207
#define IDD_CONTACT_LIST 212
#define IDD_SIGN_IN 230
#define IDD_ADD_DEVICE 231
#define IDD_FILE_TRANSFER 258
#define IDD_ADD_CONTACT 259
#define IDD_MESSAGE_BOX 286

// The main frame's menu, accelerators, icon and title; the tray menu.
#define IDR_MAINFRAME 128
#define IDR_TRAY_MENU 229

// Icons for the tray: offline and signed in.
#define IDI_TRAY_OFFLINE 252
#define IDI_TRAY_ONLINE 253

// Pictures. The button strips hold 73-pixel frames on a magenta key;
// the status marks are keyed on RGB(164,164,164).
#define IDB_BUTTON_CALL 233
#define IDB_BUTTON_SEND 235
#define IDB_BACKGROUND 297
#define IDB_MARK_UNREACHABLE 298
#define IDB_MARK_REACHABLE 299
#define IDB_LOGO 300
#define IDB_BANNER 302
#define IDB_BUTTON_FILE 310
#define IDB_BUTTON_END 311
#define IDB_BUTTON_SPEAK 312
#define IDB_BUTTON_CANCEL 313
#define IDB_BUTTON_ACCEPT 315
#define IDB_BUTTON_CHAT 316
#define IDB_BUTTON_SPEAK_WAIT 317
// The call indicator: four 31 x 34 RGBA frames side by side, type "RAW".
#define IDR_CALL_LAMP 263

// Controls.
#define IDC_DEVICE_ID 1000
#define IDC_INPUT_EDIT 1002
#define IDC_SEND 1003
#define IDC_VOLUME 1004
#define IDC_NAME 1006
#define IDC_PASSWORD 1007
#define IDC_AUTO_SIGN_IN 1008
#define IDC_SETTINGS 1009
#define IDC_PROGRESS 1010
#define IDC_START_WITH_WINDOWS 1011
// Where the enrolment dialog paints the installation's picture.
#define IDC_DEVICE_PICTURE 1011
#define IDC_STATUS 1012
#define IDC_REGISTER 1013
#define IDC_SIGN_IN 1014
#define IDC_ALPHA 1015
#define IDC_OPEN_CHAT 1016
#define IDC_SEND_FILE 1017
#define IDC_END_CALL 1018
#define IDC_CALL_LAMP 1019
#define IDC_ACCEPT 1020
#define IDC_SPEAK 1022
#define IDC_SPEAK_WAIT 1023
#define IDC_ADD 1023
#define IDC_CANCEL_SIGN_IN 1024
#define IDC_MESSAGE_TEXT 1037
#define IDC_LANGUAGE 1038
#define IDC_SOUNDS 1039
#define IDC_NAME_LABEL 1039
#define IDC_PASSWORD_LABEL 1040
#define IDC_DEVICE_ID_LABEL 1041
#define IDC_SERVER_LABEL 1042
#define IDC_LANGUAGE_LABEL 1043
#define IDC_SOUNDS_LABEL 1044
#define IDC_BACKUP_SERVER_LABEL 1045
#define IDC_ALPHA_LABEL 1046

// Menu and window commands.
#define ID_SETTINGS 32777
#define ID_SHOW_CONVERSATIONS 32778
#define ID_RESTORE 32787
#define ID_ADD_CONTACT 32788
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665
#define ID_NEXT_PANE 57680
#define ID_PREV_PANE 57681
#define ID_CLOSE_TAB 59395
#define ID_HIDE_TABS 59396

// The contact list's row buttons and the list itself (also string ids).
#define IDC_CHAT_BUTTON 61403
#define IDC_CALL_BUTTON 61404
#define IDC_SEND_FILE_BUTTON 61405
#define IDC_CONTACT_LIST 61406

// The product version, also read back by the about page.
#define PELVANE_VERSION_BINARY 4, 4, 0, 0
#define PELVANE_VERSION_TEXT "4.4.0.0"
#define PELVANE_PRODUCT_VERSION_TEXT "4.4"

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
