// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QList>
#include <QRect>
#include <QWidget>

class QMenuBar;

// The framework's document window: a menu bar on top (on this desktop menus live in the
// window) and below it the content area, in which controls have fixed design places and keep
// their design distance to the edges they are anchored to. Width and Height are those of the
// content area, as are the size limits.
class Window : public QWidget
{
    Q_OBJECT
public:
    explicit Window(QWidget *parent = nullptr);

    QWidget *content() const { return m_content; }
    void setMenuBar(QMenuBar *menuBar);
    QMenuBar *menuBar() const { return m_menuBar; }

    int Width() const;
    int Height() const;
    void setWidth(int width);
    void setHeight(int height);
    int Left() const { return x(); }
    int Top() const { return y(); }
    void setLeft(int left) { move(left, y()); }
    void setTop(int top) { move(x(), top); }

    // The limits as the program sets them. They may contradict each other (a maximum below
    // the minimum): the window system is then given limits it can honour, where the maximum
    // wins, and they take effect at the next change of size.
    int MinimumWidth = 64;
    int MinimumHeight = 64;
    int MaximumWidth = 32000;
    int MaximumHeight = 32000;
    void applySizeLimits();

    // Sets the design size of the content area; controls placed with place() are laid out
    // relative to it.
    void setDesignSize(int width, int height);
    void place(QWidget *control, const QRect &design, Qt::Edges anchors = Qt::LeftEdge | Qt::TopEdge);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    virtual void Event_Close() { }
    virtual int menuBarHeight() const;

private:
    void layoutContent();

    struct Placement
    {
        QWidget *control;
        QRect design;
        Qt::Edges anchors;
    };
    QWidget *m_content;
    QMenuBar *m_menuBar = nullptr;
    QSize m_designSize;
    QList<Placement> m_placements;
};
