// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/app/FileTypes1.h"

namespace FileTypes1 {

std::shared_ptr<FileType> pText;
QList<std::shared_ptr<FileType>> pAllFileTypes;

std::shared_ptr<FileType> Text()
{
    return pText;
}

void initialize()
{
    pText = std::make_shared<FileType>();
    pText->Name = QStringLiteral("Text");
    pText->Extensions = QStringLiteral(".txt");
    pText->MacType = QString();
    pText->MacCreator = QString();
    pText->MimeType = QString();
    pText->Imported = true;
    pText->ConformsTo = QString();
    pAllFileTypes.append(pText);
}

} // namespace FileTypes1
