#include "res/resource.h"

#include <QIcon>
#include <QString>

#include <iterator>

namespace {

// Rectangles in dialog units: x, y, width, height.
const DialogControl kAnalyzerControls[] = {
    {IDOK, ControlKind::DefPushButton, "Exit", 226, 318, 50, 14},
    {IDC_CHART_FRAME, ControlKind::BlackFrame, "", 18, 142, 470, 136},
    {IDC_COMPORT, ControlKind::ComboDropDown, "", 87, 43, 49, 77},
    {IDC_RUN_TEST, ControlKind::PushButton, "Run Test", 218, 43, 66, 13},
    {IDC_STATIC, ControlKind::GroupBox, "", 7, 3, 488, 20},
    {IDC_STATIC, ControlKind::CenteredText, "Tach Signal Analyzer for Kestrel+Pintail+Shrike", 169, 11, 172, 8},
    {IDC_STATIC, ControlKind::GroupBox, "Control", 7, 26, 488, 45},
    {IDC_STATIC, ControlKind::CenteredText, "Com Port", 51, 45, 30, 8},
    {IDC_STATUS, ControlKind::StatusEdit, "", 101, 92, 303, 13},
    {IDC_STATIC, ControlKind::GroupBox, "Status", 7, 77, 488, 45},
    {IDC_STATIC, ControlKind::GroupBox, "Chart", 7, 127, 488, 178},
    {IDC_BKCOLOR, ControlKind::PushButton, "BG Color...", 58, 285, 66, 13},
    {IDC_GRID_TOGGLE, ControlKind::PushButton, "Grid On/Off...", 163, 285, 66, 13},
    {IDC_CRANK_COLOR, ControlKind::PushButton, "Crank Line Color...", 273, 285, 66, 13},
    {IDC_CAM_COLOR, ControlKind::PushButton, "Cam Line Color...", 378, 285, 66, 13},
};

}  // namespace

const DialogTemplate g_analyzerDialogTemplate = {
    IDD_ANALYZER_DIALOG, "Dentora - Tach Signal Analyzer", 8, 502, 351, kAnalyzerControls, std::size(kAnalyzerControls),
};

// The resources live in this static library: pulled in by name, or the
// linker would leave them out of the program.
static void InitResources()
{
    Q_INIT_RESOURCE(icons);
    Q_INIT_RESOURCE(help);
}

QIcon LoadAppIcon()
{
    InitResources();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/dentora-%1.png").arg(size), QSize(size, size));
    return icon;
}

QString HelpPagePath()
{
    InitResources();
    return QStringLiteral(":/help/dentora.html");
}

const char* AppVersionString()
{
    return DENTORA_VERSION;
}
