// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// One TSL UMD 4.0 tally datagram, reduced to the fields the trigger uses: the display address
// (header byte minus 0x80), the 16-character display text and the tally bits of the first
// XDATA byte. The checksum and byte count are not looked at.
class TSLTallyPacket
{
public:
    static constexpr qsizetype MinimumSize = 21;

    // Nothing for a datagram shorter than MinimumSize; extra bytes are ignored.
    static std::optional<TSLTallyPacket> decode(const QByteArray &datagram);

    // Header byte as unsigned minus 128, so a header below 0x80 gives a negative address.
    int address() const { return m_address; }
    // Bytes 2 to 17, each taken as the Latin-1 character of that code.
    const QString &displayText() const { return m_displayText; }
    // Bits 0 and 1 of byte 20: 0 off, 1 red, 2 green, 3 red and green.
    int tally() const { return m_tally; }

    // The VT ID is the 1-based display address, compared as numbers so "1" and "1.0" both match
    // address 0.
    bool isFor(const QString &vtId) const;

private:
    TSLTallyPacket(int address, const QString &displayText, int tally);

    int m_address;
    QString m_displayText;
    int m_tally;
};
