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

// The face the windows' labels, check boxes, buttons and fields are drawn in, at a design size
// (0: the system size, 12). The controls were sized for Helvetica's widths, so this is
// Helvetica or a face with the same widths (Nimbus Sans, Arial, Liberation Sans), never the
// desktop's own font, whose face and size differ from one machine to the next.
QFont designFont(qreal points = 0);
