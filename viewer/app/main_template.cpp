#include "app/main_template.h"

#include <array>

#include "view/resource.h"

namespace pelorin {
namespace {

using K = ControlKind;
using namespace res;

constexpr std::array kControls = {
    ControlSpec{IDC_TAB, K::Tab, "", 7, 103, 537, 431},
    ControlSpec{IDC_START, K::PushButton, "Start", 112, 16, 40, 14},
    ControlSpec{IDC_STOP, K::PushButton, "Stop", 112, 37, 40, 14},
    ControlSpec{IDC_WIDTH, K::StaticText, "Width : ", 219, 70, 50, 14},
    ControlSpec{IDC_HEIGHT, K::StaticText, "Height : ", 278, 70, 50, 14},
    ControlSpec{IDC_FRAME_COUNT, K::StaticText, "FrameCount : ", 135, 74, 66, 10},
    ControlSpec{IDC_CHIP_SELECT, K::DropDownList, "", 421, 17, 48, 71},
    ControlSpec{IDC_MULTI_CHIP_GROUP, K::GroupBox, "Multi-Chip", 389, 7, 155, 59},
    ControlSpec{IDC_CHIP_LABEL, K::StaticText, "Chip :", 395, 18, 19, 12},
    ControlSpec{IDC_ORDER_LABEL, K::StaticText, "Order : ", 395, 35, 26, 11},
    ControlSpec{IDC_CHIP_ORDER, K::EditBox, "", 421, 33, 53, 14},
    ControlSpec{IDC_ORDER_EXAMPLE, K::CentredStaticText,
                "(Ex:2134=>Slave1->Master->Slave2->Slave3)", 391, 49, 149, 12},
    ControlSpec{IDC_STATUS, K::StatusText, "", 438, 72, 103, 30},
    ControlSpec{IDC_LOAD, K::PushButton, "Load", 69, 65, 40, 14},
    ControlSpec{IDC_DUMP_TYPE_LABEL, K::StaticText, "Dump Type", 13, 41, 40, 9},
    ControlSpec{IDC_DUMP_TYPE, K::DropDownList, "", 54, 39, 55, 91},
    ControlSpec{IDC_DRAW_STYLE_LABEL, K::StaticText, "DrawStyle", 317, 16, 32, 8},
    ControlSpec{IDC_DRAW_STYLE, K::DropDownList, "", 350, 14, 32, 55},
    ControlSpec{IDC_DATA_RANGE_LABEL, K::StaticText, "Data Range:", 216, 40, 39, 11},
    ControlSpec{IDC_X_AXIS, K::PushButton, "X-axis", 216, 53, 26, 15},
    ControlSpec{IDC_Y_AXIS, K::PushButton, "Y-axis", 249, 53, 26, 15},
    ControlSpec{IDC_Z_AXIS, K::PushButton, "Z-axis", 283, 53, 26, 15},
    ControlSpec{IDC_DEFAULT_VIEW, K::PushButton, "Default", 316, 53, 26, 15},
    ControlSpec{IDC_STATISTICS, K::StaticText, "Average:           Max:           Min:", 219, 84,
                156, 14},
    ControlSpec{IDC_MAX_SLIDER, K::Slider, "", 325, 37, 55, 15},
    ControlSpec{IDC_MAX_LABEL, K::StaticText, "Max:250", 336, 28, 30, 8},
    ControlSpec{IDC_MIN_SLIDER, K::Slider, "", 265, 37, 54, 15},
    ControlSpec{IDC_MIN_LABEL, K::StaticText, "Min:0", 282, 28, 30, 8},
    ControlSpec{IDC_DUMP, K::CheckBox, "Dump", 161, 15, 34, 10},
    ControlSpec{IDC_REVERSE, K::CheckBox, "Reverse", 480, 17, 41, 10},
    ControlSpec{IDC_TURN_OVER, K::CheckBox, "TurnOver", 480, 31, 43, 10},
    ControlSpec{IDC_VOLTAGE_GROUP, K::GroupBox, "Voltage", 7, 7, 200, 49},
    ControlSpec{IDC_DRAW_GROUP, K::GroupBox, "Draw", 208, 7, 180, 95},
    ControlSpec{IDC_PAUSE, K::PushButton, "Pause", 12, 85, 40, 14},
    ControlSpec{IDC_PREV, K::PushButton, "Prev", 59, 85, 30, 14},
    ControlSpec{IDC_NEXT, K::PushButton, "Next", 91, 85, 30, 14},
    ControlSpec{IDC_PLAYER_SLIDER, K::Slider, "", 124, 86, 73, 13},
    ControlSpec{IDC_PLAYER_GROUP, K::GroupBox, "Player", 7, 54, 200, 48},
    ControlSpec{IDC_PLAY, K::PushButton, "Play", 12, 66, 40, 14},
    ControlSpec{IDC_SECOND_SOURCE, K::MultiLineButton, "2nd-Source", 61, 16, 43, 20},
    ControlSpec{IDC_FIRST_SOURCE, K::MultiLineButton, "1st-Source", 10, 16, 43, 20},
    ControlSpec{IDC_HIDE_DISPLAY_LABEL, K::StaticText, "Hide Display", 160, 33, 38, 8},
    ControlSpec{IDC_HIDE_FIRST, K::CheckBox, "1st", 157, 42, 20, 10},
    ControlSpec{IDC_HIDE_SECOND, K::CheckBox, "2nd", 180, 42, 22, 10},
    ControlSpec{IDC_FRAME_RATE, K::StaticText, "FrameRate :", 135, 62, 63, 8},
    ControlSpec{IDC_HIDE_OVERLAP, K::CheckBox, "Hide Overlap", 216, 27, 54, 10},
    ControlSpec{IDC_FILTER, K::PushButton, "Filter", 390, 84, 36, 17},
    ControlSpec{IDC_ENABLE_FILTER, K::CheckBox, "Enable filter", 390, 72, 48, 12},
    ControlSpec{IDC_MOUSE_ZOOM, K::CheckBox, "MouseZoom", 265, 14, 48, 12},
    ControlSpec{IDC_HIDE_BUTTON, K::CheckBox, "Hide Button", 216, 14, 48, 12},
    ControlSpec{IDC_AUTO_CENTER, K::CheckBox, "AutoCenter", 336, 69, 48, 12},
};

}  // namespace

std::span<const ControlSpec> MainTemplateControls() { return kControls; }

}  // namespace pelorin
