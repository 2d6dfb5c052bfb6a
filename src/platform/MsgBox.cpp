// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "MsgBox.h"

#include "DebugLog.h"

#include <QMessageBox>

namespace MsgBox {
namespace {
Responder &responder()
{
    static Responder instance;
    return instance;
}
} // namespace

void show(const QString &text)
{
    if (responder()) {
        responder()({text, QString(), false});
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok);
    box.exec();
}

Answer ask(const QString &text, const QString &title)
{
    if (responder())
        return responder()({text, title, true});
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void setResponder(Responder newResponder)
{
    responder() = std::move(newResponder);
}

} // namespace MsgBox
