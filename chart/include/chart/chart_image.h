// The tool's chart as a picture, as its window shows it.
#pragma once

#include <QImage>

// The chart window (traces, grid and scroll bar) rendered into an image;
// a null image while the window does not exist. Works on any platform
// plugin, the offscreen one included.
QImage RenderChartImage();
