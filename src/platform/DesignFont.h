// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QFont>

// The window designs give font sizes in points on a 72-dpi desktop, where a point is a pixel.
// Sizing in pixels keeps every caption the size its control was laid out for, whatever the
// screen's dpi.
inline QFont withDesignSize(QFont font, qreal points)
{
    if (points > 0)
        font.setPixelSize(qRound(points));
    return font;
}
