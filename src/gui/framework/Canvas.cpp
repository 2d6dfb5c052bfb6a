// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/framework/Canvas.h"

#include <QPainter>

Canvas::Canvas(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void Canvas::setBackdrop(const QPixmap &picture)
{
    m_backdrop = picture;
    update();
}

void Canvas::paintEvent(QPaintEvent *)
{
    if (m_backdrop.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_backdrop);
}
