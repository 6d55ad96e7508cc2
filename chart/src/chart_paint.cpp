#include "chart/chart_wnd.h"

#include <QPainter>
#include <QWidget>

// Until the chart draws its lines it shows its background.
void CChartWnd::OnPaint()
{
    QWidget* client = clientWidget();
    QPainter painter(client);
    painter.fillRect(client->rect(), QColor(GetRValue(m_backColor), GetGValue(m_backColor), GetBValue(m_backColor)));
}

CPoint CChartWnd::DataToClient(float, float) const
{
    return CPoint{};
}
