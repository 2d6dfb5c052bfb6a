// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/framework/Label.h"

#include "gui/framework/DesignFont.h"

#include <QLabel>

QLabel *makeLabel(QWidget *parent, const QString &text, int designPoints)
{
    auto *label = new QLabel(parent);
    // Some labels show text from outside (preference values); a label left to guess its format
    // would take anything that looks like HTML for markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(designFont(designPoints));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 0));
    label->setPalette(palette);
    label->setAutoFillBackground(false);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    label->setFocusPolicy(Qt::NoFocus);
    label->setWordWrap(false);
    return label;
}
