// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/trigger/TSLTallyPacket.h"

#include "core/trigger/NumberText.h"

namespace {

constexpr qsizetype HeaderByte = 0;
constexpr qsizetype TextStart = 2;
constexpr qsizetype TextLength = 16;
constexpr qsizetype TallyByte = 20;

} // namespace

TSLTallyPacket::TSLTallyPacket(int address, const QString &displayText, int tally)
    : m_address(address), m_displayText(displayText), m_tally(tally)
{ }

std::optional<TSLTallyPacket> TSLTallyPacket::decode(const QByteArray &datagram)
{
    if (datagram.size() < MinimumSize)
        return std::nullopt;
    const auto byteAt = [&datagram](qsizetype index) { return int(quint8(datagram.at(index))); };
    return TSLTallyPacket(byteAt(HeaderByte) - 0x80, QString::fromLatin1(datagram.constData() + TextStart, TextLength),
        byteAt(TallyByte) & 3);
}

bool TSLTallyPacket::isFor(const QString &vtId) const
{
    return textToNumber(vtId) == double(m_address + 1);
}
