// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// A datagram from the relay box as it arrives on the relay port: the whole input is the reply.
// Its text also serves as a typed new address, and its first bytes as a command code.
#include "FuzzCheck.h"
#include "NumberTextCheck.h"
#include "core/platform/OutsideText.h"
#include "core/trigger/NumberText.h"
#include "core/trigger/RelayCommand.h"

#include <QByteArray>
#include <QString>
#include <QtEndian>

#include <cstddef>
#include <cstdint>

namespace {

void checkCommand(int code, const QString &newAddress)
{
    const QString detail = QStringLiteral("code %1 address %2").arg(code).arg(newAddress);
    const QByteArray bytes = RelayCommand::datagram(code, newAddress);
    const QByteArray head = QByteArrayLiteral("cmdkey") + QByteArray::number(code) + '\n';
    FUZZ_CHECK(bytes.startsWith(head), detail);
    if (code == RelayCommand::NewAddress)
        FUZZ_CHECK(bytes == head + newAddress.toUtf8() + '\n', detail);
    else
        FUZZ_CHECK(bytes == head, detail);

    const bool key = code >= RelayCommand::Key1On && code <= RelayCommand::Key2Off;
    FUZZ_CHECK(RelayCommand::dailyLogText(code).isEmpty() == !key, detail);
    FUZZ_CHECK(RelayCommand::screenText(code).isEmpty() == !(key || code == RelayCommand::NewAddress), detail);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    quietQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray datagram(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString detail = QString::fromLatin1(datagram.toHex(' '));

    const RelayCommand::Reply reply = RelayCommand::reply(datagram);
    const QString whole = QString::fromUtf8(datagram);
    const auto loggedSize = [](const QString &text) { return OutsideText::escaped(text).toUtf8().size(); };
    const qsizetype cut = reply.text.lastIndexOf(QStringLiteral(" [cut "));
    if (reply.text == whole) {
        FUZZ_CHECK(loggedSize(whole) <= RelayCommand::ReplyTextLimit, detail);
    } else {
        // A long reply keeps a bounded start of whole characters, as the logs write it, and says
        // how much it left out. A character escapes to at most 10 bytes; a sequence cut short at
        // the end may be read as fewer U+FFFD than it has bytes.
        FUZZ_CHECK(cut >= 0 && reply.text.endsWith(QStringLiteral(" bytes]")), detail);
        const qsizetype keptBytes = datagram.size() - reply.text.sliced(cut + 6).chopped(7).toLongLong();
        FUZZ_CHECK(keptBytes >= 0 && keptBytes < datagram.size(), detail);
        const QString kept = reply.text.first(cut);
        FUZZ_CHECK(kept == QString::fromUtf8(datagram.first(keptBytes)), detail);
        FUZZ_CHECK(loggedSize(kept) <= RelayCommand::ReplyTextLimit, detail);
        FUZZ_CHECK(loggedSize(kept) > RelayCommand::ReplyTextLimit - 16, detail);
    }
    const double value = checkedTextToNumber(whole);
    FUZZ_CHECK(reply.value == value, detail);
    FUZZ_CHECK(
        reply.row == QStringLiteral("Rx message: ") + reply.text + QLatin1Char(' ') + numberToText(value), detail);
    FUZZ_CHECK(reply.dailyLogDue == (value == 1.0 || value == 2.0 || value == 3.0), detail);

    // The same bytes read as Latin-1, the way a Latin-1 text box would have typed them.
    checkedTextToNumber(QString::fromLatin1(datagram));

    checkCommand(RelayCommand::NewAddress, whole);
    if (size >= 4)
        checkCommand(qFromBigEndian<qint32>(data), whole);
    if (size >= 1)
        checkCommand(int(data[0]) - 4, whole);
    return 0;
}
