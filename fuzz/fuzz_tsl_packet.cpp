// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// A TSL tally datagram as it arrives on the tally port: the whole input is the datagram.
// The bytes after the 21 the decoder reads double as VT ID texts to match it against.
#include "FuzzCheck.h"
#include "NumberTextCheck.h"
#include "core/trigger/NumberText.h"
#include "core/trigger/TSLTallyPacket.h"
#include "core/trigger/TallyAction.h"

#include <QByteArray>
#include <QString>
#include <QtEndian>

#include <cstddef>
#include <cstdint>

namespace {

QString describe(const QByteArray &datagram)
{
    return QString::fromLatin1(datagram.toHex(' '));
}

void checkLamp(const TallyAction::LampLook &lamp, const QString &detail)
{
    if (lamp.width)
        FUZZ_CHECK(*lamp.width >= 0 && *lamp.width <= TallyAction::StripWidth, detail);
    if (lamp.left) {
        FUZZ_CHECK(*lamp.left >= 0, detail);
        FUZZ_CHECK(*lamp.left + lamp.width.value_or(0) <= TallyAction::StripWidth, detail);
    }
}

bool sameLamp(const TallyAction::LampLook &a, const TallyAction::LampLook &b)
{
    return a.left == b.left && a.width == b.width && a.fill == b.fill;
}

void checkAction(int raw)
{
    const QString detail = QStringLiteral("tally value %1").arg(raw);
    const TallyAction action = TallyAction::forTally(raw);
    const TallyAction masked = TallyAction::forTally(raw & 3);
    FUZZ_CHECK(sameLamp(action.redLamp, masked.redLamp) && sameLamp(action.greenLamp, masked.greenLamp), detail);
    FUZZ_CHECK(action.on == masked.on && action.redTally == masked.redTally && action.greenTally == masked.greenTally
            && action.enableLogText == masked.enableLogText && action.dailyLogText == masked.dailyLogText
            && action.playLogText == masked.playLogText,
        detail);

    const bool red = raw & 1;
    const bool green = raw & 2;
    FUZZ_CHECK(action.on == (red || green), detail);
    FUZZ_CHECK(action.enableLogText.isEmpty() == !action.on, detail);
    FUZZ_CHECK(action.playLogText.isEmpty() == !action.on, detail);
    FUZZ_CHECK(!action.dailyLogText.isEmpty(), detail);
    // An on value sets the flags of its own colours and leaves the other alone; off clears both.
    if (action.on) {
        FUZZ_CHECK(action.redTally == (red ? std::optional<bool>(true) : std::nullopt), detail);
        FUZZ_CHECK(action.greenTally == (green ? std::optional<bool>(true) : std::nullopt), detail);
    } else {
        FUZZ_CHECK(action.redTally == false && action.greenTally == false, detail);
    }
    checkLamp(action.redLamp, detail);
    checkLamp(action.greenLamp, detail);
    // The red lamp is anchored on the left: its left edge is never set.
    FUZZ_CHECK(!action.redLamp.left, detail);
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
    const QString detail = describe(datagram);
    const std::optional<TSLTallyPacket> packet = TSLTallyPacket::decode(datagram);

    if (datagram.size() < TSLTallyPacket::MinimumSize) {
        FUZZ_CHECK(!packet, detail);
        for (int raw : {0, 1, 2, 3, -1, int(size)})
            checkAction(raw);
        return 0;
    }
    FUZZ_CHECK(packet.has_value(), detail);

    // Only the first 21 bytes count.
    const std::optional<TSLTallyPacket> head = TSLTallyPacket::decode(datagram.left(TSLTallyPacket::MinimumSize));
    FUZZ_CHECK(head && head->address() == packet->address() && head->displayText() == packet->displayText()
            && head->tally() == packet->tally(),
        detail);

    FUZZ_CHECK(packet->address() == int(data[0]) - 0x80, detail);
    FUZZ_CHECK(packet->displayText() == QString::fromLatin1(datagram.mid(2, 16)), detail);
    FUZZ_CHECK(packet->displayText().size() == 16, detail);
    FUZZ_CHECK(packet->tally() == (data[20] & 3), detail);

    checkAction(packet->tally());
    checkAction(qFromBigEndian<qint32>(data + 17));
    checkAction(qFromLittleEndian<qint32>(data + 17));

    // VT IDs that name this display however they are written, and ones that do not.
    const int vt = packet->address() + 1;
    const QString number = QString::number(vt);
    for (const QString &same : {number, numberToText(vt), number + QStringLiteral(".0"), QStringLiteral(" ") + number,
             number + QStringLiteral("e0"), number + QStringLiteral(" cam")})
        FUZZ_CHECK(packet->isFor(same), detail + QStringLiteral(" VT ID ") + same);
    for (const QString &other : {QString::number(vt + 1), QString::number(vt - 1), number + QStringLiteral(".5")})
        FUZZ_CHECK(!packet->isFor(other), detail + QStringLiteral(" VT ID ") + other);
    FUZZ_CHECK(packet->isFor(QString()) == (vt == 0), detail);

    // Whatever follows the packet, read as a typed VT ID.
    const QByteArray tail = datagram.mid(TSLTallyPacket::MinimumSize);
    for (const QString &typed : {QString::fromUtf8(tail), QString::fromLatin1(tail)}) {
        const double value = checkedTextToNumber(typed);
        FUZZ_CHECK(packet->isFor(typed) == (value == double(vt)), detail + QStringLiteral(" VT ID ") + typed);
    }
    return 0;
}
