#pragma once

#include <QColor>

/// The fixed colours of the interface, in sRGB.
namespace Theme {

inline QColor bg()
{
    return QColor(6, 7, 7);
}
inline QColor fg()
{
    return QColor(244, 245, 242);
}
inline QColor muted()
{
    return QColor(138, 141, 130);
}
inline QColor amber()
{
    return QColor(255, 180, 84);
}
inline QColor blue()
{
    return QColor(61, 123, 240);
}

} // namespace Theme
