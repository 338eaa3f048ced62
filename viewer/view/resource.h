// Numeric identifiers of the viewer's dialogs, controls, commands and strings.
// Handlers are routed by these ids, and tests look controls up by them.
#pragma once

namespace pelorin::res {

// Dialog templates.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_PELORIN_DIALOG = 102;
inline constexpr int IDD_SHOW_DIALOG = 130;
inline constexpr int IDD_SNR_DIALOG = 131;
inline constexpr int IDD_ADDITIONAL_DIALOG = 140;
inline constexpr int IDD_MULTI_SOURCE_DIALOG = 145;
inline constexpr int IDD_FILTER_DIALOG = 146;

// Other resources.
inline constexpr int IDS_ABOUTBOX = 101;  // the About entry's text
inline constexpr int IDR_MAINFRAME = 128; // the program icon
inline constexpr int IDB_SNR_PICTURE = 139;
inline constexpr int IDM_ABOUTBOX = 16;   // command of the About entry

// Main window (template 102).
inline constexpr int IDC_TAB = 1000;
inline constexpr int IDC_START = 1001;
inline constexpr int IDC_STOP = 1002;
inline constexpr int IDC_FRAME_COUNT = 1014;
inline constexpr int IDC_WIDTH = 1028;
inline constexpr int IDC_HEIGHT = 1029;
inline constexpr int IDC_CHIP_SELECT = 1036;
inline constexpr int IDC_ORDER_LABEL = 1037;
inline constexpr int IDC_CHIP_ORDER = 1038;
inline constexpr int IDC_MULTI_CHIP_GROUP = 1039;
inline constexpr int IDC_CHIP_LABEL = 1040;
inline constexpr int IDC_ORDER_EXAMPLE = 1041;
inline constexpr int IDC_STATUS = 1043;
inline constexpr int IDC_LOAD = 1044;
inline constexpr int IDC_DUMP_TYPE = 1045;
inline constexpr int IDC_DUMP_TYPE_LABEL = 1046;
inline constexpr int IDC_DRAW_STYLE_LABEL = 1048;
inline constexpr int IDC_DRAW_STYLE = 1050;
inline constexpr int IDC_DATA_RANGE_LABEL = 1051;
inline constexpr int IDC_X_AXIS = 1060;
inline constexpr int IDC_Y_AXIS = 1061;
inline constexpr int IDC_Z_AXIS = 1062;
inline constexpr int IDC_DEFAULT_VIEW = 1063;
inline constexpr int IDC_STATISTICS = 1064;
inline constexpr int IDC_MAX_SLIDER = 1069;
inline constexpr int IDC_MAX_LABEL = 1070;
inline constexpr int IDC_MIN_SLIDER = 1071;
inline constexpr int IDC_MIN_LABEL = 1072;
inline constexpr int IDC_DUMP = 1078;
inline constexpr int IDC_REVERSE = 1079;
inline constexpr int IDC_TURN_OVER = 1080;
inline constexpr int IDC_VOLTAGE_GROUP = 1087;
inline constexpr int IDC_DRAW_GROUP = 1088;
inline constexpr int IDC_PAUSE = 1089;
inline constexpr int IDC_PREV = 1090;
inline constexpr int IDC_NEXT = 1091;
inline constexpr int IDC_PLAYER_SLIDER = 1092;
inline constexpr int IDC_PLAYER_GROUP = 1094;
inline constexpr int IDC_PLAY = 1095;
inline constexpr int IDC_SECOND_SOURCE = 1096;
inline constexpr int IDC_FIRST_SOURCE = 1098;
inline constexpr int IDC_HIDE_DISPLAY_LABEL = 1099;
inline constexpr int IDC_HIDE_FIRST = 1100;
inline constexpr int IDC_HIDE_SECOND = 1101;
inline constexpr int IDC_FRAME_RATE = 1102;
inline constexpr int IDC_HIDE_OVERLAP = 1104;
inline constexpr int IDC_FILTER = 1117;
inline constexpr int IDC_ENABLE_FILTER = 1118;
inline constexpr int IDC_MOUSE_ZOOM = 1119;
inline constexpr int IDC_HIDE_BUTTON = 1120;
inline constexpr int IDC_AUTO_CENTER = 1121;

// Map page (template 130).
inline constexpr int IDC_MAP_AREA = 1009;

// SNR page (template 131).
inline constexpr int IDC_SNR_X1_SIGNAL = 1015;
inline constexpr int IDC_SNR_X1_NOISE = 1016;
inline constexpr int IDC_SNR_X2_SIGNAL = 1017;
inline constexpr int IDC_SNR_X2_NOISE = 1018;
inline constexpr int IDC_SNR_Y1_SIGNAL = 1019;
inline constexpr int IDC_SNR_Y1_NOISE = 1020;
inline constexpr int IDC_SNR_Y2_SIGNAL = 1021;
inline constexpr int IDC_SNR_Y2_NOISE = 1022;
inline constexpr int IDC_UNTOUCHED_COUNT = 1023;
inline constexpr int IDC_SNR_X1 = 1024;
inline constexpr int IDC_SNR_X2 = 1025;
inline constexpr int IDC_SNR_Y1 = 1026;
inline constexpr int IDC_SNR_Y2 = 1027;
inline constexpr int IDC_PIN_Y1 = 1054;
inline constexpr int IDC_SNR_PLOT_AREA = 1055;
inline constexpr int IDC_PIN_X1 = 1056;
inline constexpr int IDC_PIN_X2 = 1057;
inline constexpr int IDC_PIN_Y2 = 1058;
inline constexpr int IDC_SNR_PICTURE = 1059;
inline constexpr int IDC_SNR_X1_INDEX = 1073;
inline constexpr int IDC_SNR_X2_INDEX = 1074;
inline constexpr int IDC_SNR_Y1_INDEX = 1075;
inline constexpr int IDC_SNR_Y2_INDEX = 1076;

// Source selection dialog (template 145).
inline constexpr int IDC_SOURCE_COMBO = 1097;

// Filter dialog (template 146): the kernel's edits in reading order, then the types.
inline constexpr int IDC_KERNEL_00 = 1108;
inline constexpr int IDC_KERNEL_01 = 1109;
inline constexpr int IDC_KERNEL_02 = 1110;
inline constexpr int IDC_KERNEL_10 = 1111;
inline constexpr int IDC_KERNEL_11 = 1112;
inline constexpr int IDC_KERNEL_12 = 1113;
inline constexpr int IDC_KERNEL_20 = 1114;
inline constexpr int IDC_KERNEL_21 = 1115;
inline constexpr int IDC_KERNEL_22 = 1116;
inline constexpr int IDC_FILTER_WEIGHT = 1105;
inline constexpr int IDC_FILTER_HIGH_PASS = 1106;
inline constexpr int IDC_FILTER_CUSTOMIZE = 1107;

// Labels without a handler or a lookup share one id, as dialog editors do.
inline constexpr int IDC_STATIC = -1;

}  // namespace pelorin::res
