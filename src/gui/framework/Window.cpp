// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/framework/Window.h"

#include "core/platform/ErrorReport.h"

#include <QCloseEvent>
#include <QMenuBar>

Window::Window(QWidget *parent) : QWidget(parent), m_content(new QWidget(this))
{
    setWindowFlag(Qt::Window);
}

void Window::setMenuBar(QMenuBar *menuBar)
{
    m_menuBar = menuBar;
    if (m_menuBar)
        m_menuBar->setParent(this);
    layoutContent();
}

int Window::menuBarHeight() const
{
    return m_menuBar ? m_menuBar->sizeHint().height() : 0;
}

int Window::Width() const
{
    return width();
}

int Window::Height() const
{
    return height() - menuBarHeight();
}

void Window::setWidth(int width)
{
    applySizeLimits();
    resize(width, height());
}

void Window::setHeight(int height)
{
    applySizeLimits();
    resize(width(), height + menuBarHeight());
}

void Window::applySizeLimits()
{
    const int bar = menuBarHeight();
    setMinimumSize(std::min(MinimumWidth, MaximumWidth), std::min(MinimumHeight, MaximumHeight) + bar);
    setMaximumSize(MaximumWidth, MaximumHeight + bar);
}

void Window::setDesignSize(int width, int height)
{
    m_designSize = QSize(width, height);
    resize(width, height + menuBarHeight());
    layoutContent();
}

void Window::place(QWidget *control, const QRect &design, Qt::Edges anchors)
{
    m_placements.append({control, design, anchors});
    control->setGeometry(design);
    layoutContent();
}

void Window::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutContent();
}

void Window::layoutContent()
{
    const int bar = menuBarHeight();
    if (m_menuBar)
        m_menuBar->setGeometry(0, 0, width(), bar);
    m_content->setGeometry(0, bar, width(), height() - bar);

    const int dw = m_content->width() - m_designSize.width();
    const int dh = m_content->height() - m_designSize.height();
    for (const Placement &p : std::as_const(m_placements)) {
        QRect r = p.design;
        const bool left = p.anchors & Qt::LeftEdge;
        const bool right = p.anchors & Qt::RightEdge;
        const bool top = p.anchors & Qt::TopEdge;
        const bool bottom = p.anchors & Qt::BottomEdge;
        if (right && left)
            r.setWidth(p.design.width() + dw);
        else if (right)
            r.moveLeft(p.design.left() + dw);
        if (bottom && top)
            r.setHeight(p.design.height() + dh);
        else if (bottom)
            r.moveTop(p.design.top() + dh);
        p.control->setGeometry(r);
    }
}

void Window::closeEvent(QCloseEvent *event)
{
    ErrorReport::guarded("Window.Close", [this] { Event_Close(); });
    event->accept();
}
