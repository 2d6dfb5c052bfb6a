// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/framework/MsgBox.h"

#include "core/platform/DebugLog.h"

#include <QList>
#include <QMessageBox>
#include <QPointer>

namespace MsgBox {
namespace {
// The boxes on screen, innermost last.
QList<QPointer<QMessageBox>> &openBoxes()
{
    static QList<QPointer<QMessageBox>> boxes;
    return boxes;
}

// Once the open boxes have been dismissed for a quit by signal, nobody may be there to answer:
// a later box would hold the quit forever.
bool &nobodyAnswers()
{
    static bool nobody = false;
    return nobody;
}

// Every box on screen shows its text through here, as it is, character for character: much of
// it comes from outside (a peer's message, say), and a box left to guess its format would lay
// out anything that looks like HTML, tables nested without end and local images included. The
// format is set before the text, so the text is never taken for markup even once.
int run(QMessageBox &box, const QString &text)
{
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    openBoxes().append(&box);
    const int result = box.exec();
    openBoxes().removeAll(&box);
    return result;
}
} // namespace

void show(const QString &text, const Responder &answerer)
{
    if (answerer) {
        answerer({text, QString(), false});
        return;
    }
    if (nobodyAnswers()) {
        DebugLog(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString(), QString(), QMessageBox::Ok);
    run(box, text);
}

Answer ask(const QString &text, const QString &title, const Responder &answerer)
{
    if (answerer)
        return answerer({text, title, true});
    if (nobodyAnswers()) {
        DebugLog(text);
        return Answer::No;
    }
    QMessageBox box(QMessageBox::Question, title, QString(), QMessageBox::Yes | QMessageBox::No);
    return run(box, text) == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

bool isOpen()
{
    return !openBoxes().isEmpty();
}

void dismissOpen()
{
    nobodyAnswers() = true;
    const auto boxes = openBoxes();
    for (const QPointer<QMessageBox> &box : boxes) {
        if (!box)
            continue;
        DebugLog(box->text());
        // A plain box as if OK was pressed, a question as if No: it acts only on Yes.
        box->done(box->standardButtons().testFlag(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok);
    }
}

} // namespace MsgBox
