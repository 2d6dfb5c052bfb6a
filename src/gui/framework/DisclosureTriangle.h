// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QAbstractButton>

// The framework's disclosure triangle: a small arrow that points right when closed and down
// when open. A click flips Value first, then raises Action.
class DisclosureTriangle : public QAbstractButton
{
    Q_OBJECT
public:
    explicit DisclosureTriangle(QWidget *parent = nullptr);

    bool Value() const { return isChecked(); }
    void setValue(bool open) { setChecked(open); }

Q_SIGNALS:
    void Action();

protected:
    void paintEvent(QPaintEvent *event) override;
};
