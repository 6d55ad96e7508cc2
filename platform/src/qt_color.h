// COLORREF to and from the toolkit's colours, for the platform's sources.
#pragma once

#include "platform/wintypes.h"

#include <QColor>

namespace platform {

inline QColor ToQColor(COLORREF color)
{
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

inline COLORREF ToColorRef(const QColor& color)
{
    return RGB(BYTE(color.red()), BYTE(color.green()), BYTE(color.blue()));
}

}  // namespace platform
