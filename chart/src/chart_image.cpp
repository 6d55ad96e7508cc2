#include "chart/chart_image.h"

#include "chart/chart_wnd.h"

#include <QWidget>

QImage RenderChartImage()
{
    QWidget* window = g_chart.GetSafeWidget();
    if (!window)
        return QImage();
    QImage image(window->size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    window->render(&image);
    return image;
}
