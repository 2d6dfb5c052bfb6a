// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QPixmap>
#include <QWidget>

// The framework's Canvas control where it only shows a backdrop picture: transparent where
// the picture draws nothing, taking no focus.
class Canvas : public QWidget
{
    Q_OBJECT
public:
    explicit Canvas(QWidget *parent = nullptr);

    const QPixmap &Backdrop() const { return m_backdrop; }
    void setBackdrop(const QPixmap &picture);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_backdrop;
};
