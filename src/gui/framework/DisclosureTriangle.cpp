// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/framework/DisclosureTriangle.h"

#include <QPainter>
#include <QPolygonF>

DisclosureTriangle::DisclosureTriangle(QWidget *parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QAbstractButton::clicked, this, &DisclosureTriangle::Action);
}

void DisclosureTriangle::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isDown() ? QColor(0x20, 0x20, 0x20) : QColor(0xD0, 0xD0, 0xD0));
    const qreal w = width();
    const qreal h = height();
    QPolygonF arrow;
    if (isChecked())
        arrow << QPointF(w * 0.2, h * 0.3) << QPointF(w * 0.8, h * 0.3) << QPointF(w * 0.5, h * 0.75);
    else
        arrow << QPointF(w * 0.3, h * 0.2) << QPointF(w * 0.75, h * 0.5) << QPointF(w * 0.3, h * 0.8);
    painter.drawPolygon(arrow);
}
