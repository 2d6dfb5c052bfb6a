// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/framework/DesignFont.h"

#include <QFontMetricsF>
#include <QStringList>

namespace {
constexpr int kSystemPixels = 12;
// Helvetica's figures are 556/1000 of the em wide: the width the address labels were drawn for.
constexpr qreal kHelveticaFigure = 0.556;
} // namespace

QFont designFont(qreal points)
{
    QFont font;
    font.setFamilies({QStringLiteral("Helvetica"), QStringLiteral("Nimbus Sans"), QStringLiteral("Arial"),
        QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kSystemPixels);

    // With none of them installed a wider face stands in; narrowed to Helvetica's figure width,
    // an address still keeps to its label and the captions to their controls.
    const qreal figure = QFontMetricsF(font).horizontalAdvance(QLatin1Char('0'));
    const qreal wanted = kHelveticaFigure * kSystemPixels;
    if (figure > wanted + 0.01)
        font.setStretch(static_cast<int>(100 * wanted / figure));
    return withDesignSize(font, points);
}
