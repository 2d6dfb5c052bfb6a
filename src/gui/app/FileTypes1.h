// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QList>
#include <QString>

#include <memory>

// The program's document types: plain text only. Nothing reads the set on this desktop.
namespace FileTypes1 {

struct FileType
{
    QString Name;
    QString Extensions;
    QString MacType;
    QString MacCreator;
    QString MimeType;
    bool Imported = false;
    QString ConformsTo;
    QString UTI;
};

extern std::shared_ptr<FileType> pText;
extern QList<std::shared_ptr<FileType>> pAllFileTypes;

std::shared_ptr<FileType> Text();
void initialize();

} // namespace FileTypes1
