// Identifiers of the main dialog, its controls and its icon.
#pragma once

#include "platform/dialog.h"

constexpr int IDD_ANALYZER_DIALOG = 102;
constexpr int IDR_MAINFRAME = 128;

constexpr int IDC_CHART_FRAME = 1000;
constexpr int IDC_COMPORT = 1001;
constexpr int IDC_RUN_TEST = 1002;
constexpr int IDC_STATUS = 1003;
constexpr int IDC_BKCOLOR = 1004;
constexpr int IDC_GRID_TOGGLE = 1005;
constexpr int IDC_CRANK_COLOR = 1006;
constexpr int IDC_CAM_COLOR = 1007;

// Dialog 102: the main dialog, its controls in tab order.
extern const DialogTemplate g_analyzerDialogTemplate;

// Icon 128 (16 x 16 and 32 x 32, and larger sizes for desktops).
QIcon LoadAppIcon();

// The help page shown for F1: HTML in the tool's resources.
QString HelpPagePath();

// The version of the build, as the CMake project states it.
const char* AppVersionString();
