// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>

#include <functional>

// Modal message boxes. Every box goes through here. Whoever shows one passes the answerer it
// was handed: empty, the box is shown on screen; a test hands in one of its own that answers.
// A box shows its text as plain text, never as markup.
namespace MsgBox {

enum class Answer { Ok, Yes, No };

struct Request
{
    QString text;
    QString title;
    bool question = false;
};
using Responder = std::function<Answer(const Request &)>;

// A plain box with the text alone; returns when it is dismissed.
void show(const QString &text, const Responder &answerer);
// A question with Yes and No buttons, the question icon and a title.
Answer ask(const QString &text, const QString &title, const Responder &answerer);

// Whether a box is on screen, its handler waiting in the box's own event loop.
bool isOpen();
// Closes every box on screen as if it was answered: OK, or No to a question. Its text goes to
// the system log. Called when the application quits on a signal: from then on no box is shown
// any more, each is answered so at once and its text logged.
void dismissOpen();

} // namespace MsgBox
