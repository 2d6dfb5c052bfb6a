// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// The preferences file as the program finds it at start-up: the whole input is the file. It is
// loaded into the shared store, read the way the program reads it, saved, and loaded again into
// a second store, which must hold the same keys and values; saving that one must write the same
// bytes.
#include "FuzzCheck.h"
#include "core/prefs/ModernPreferences.h"
#include "core/prefs/Prefs.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>

namespace {

const QString AppName = QStringLiteral("Brenvale");

// One configuration folder for the whole process, made once.
std::unique_ptr<QTemporaryDir> configHome;

QString prefsFile()
{
    return configHome->path() + QStringLiteral("/Brenvale/Brenvale.prefs");
}

QByteArray readBack()
{
    QFile file(prefsFile());
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QString describe(const QByteArray &input)
{
    return QString::fromLatin1(input.left(256).toHex(' ')) + (input.size() > 256 ? QStringLiteral(" ...") : QString());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    quietQtMessages();
    // Saving syncs the file to disk; in memory that costs nothing, so runs stay fast.
    const QString base
        = QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    configHome = std::make_unique<QTemporaryDir>(base + QStringLiteral("/brenvale-fuzz-prefs-XXXXXX"));
    if (!configHome->isValid() || !QDir().mkpath(configHome->path() + QStringLiteral("/Brenvale")))
        fuzzFailure(__FILE__, __LINE__, "configuration folder", configHome->errorString());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome->path()));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString detail = describe(input);
    {
        QFile file(prefsFile());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(input) != input.size())
            fuzzFailure(__FILE__, __LINE__, "writing the input", file.errorString());
    }

    ModernPreferences::Initialise(AppName);
    Prefs &store = *ModernPreferences::Preferences.get();
    bool loaded = false;
    try {
        loaded = store.Load();
    } catch (const std::exception &error) {
        fuzzFailure(__FILE__, __LINE__, "Load threw", detail + QLatin1Char('\n') + QString::fromUtf8(error.what()));
    }
    FUZZ_CHECK(store.preferencesFile() == prefsFile(), detail);
    if (!loaded)
        FUZZ_CHECK(store.mPreferences.isEmpty(), detail);
    const QStringList loadedKeys = store.mPreferences.keys();

    // What the program reads at start-up; missing keys take their fallbacks into the store.
    store[QStringLiteral("VTid")].toString();
    store[QStringLiteral("prefLogPath")].toString();
    store[QStringLiteral("motion1Name")].toString();
    const QString ip = store.Get(QStringLiteral("chrWorksIP")).toString();
    store.Get(QStringLiteral("chrWorksIPBup")).toString();
    store[QStringLiteral("tslPlay")].toBool();
    store[QStringLiteral("tslEnable")].toBool();
    if (!loadedKeys.contains(QStringLiteral("chrWorksIP")))
        FUZZ_CHECK(ip == QStringLiteral("192.168.0.1"), detail);
    for (const QString &key : loadedKeys)
        FUZZ_CHECK(store.mPreferences.contains(key), detail + QStringLiteral(" lost key ") + key);

    FUZZ_CHECK(store.Save(), detail);
    const QByteArray firstSave = readBack();

    Prefs again(AppName);
    bool reloaded = false;
    try {
        reloaded = again.Load();
    } catch (const std::exception &error) {
        fuzzFailure(
            __FILE__, __LINE__, "second Load threw", detail + QLatin1Char('\n') + QString::fromUtf8(error.what()));
    }
    FUZZ_CHECK(reloaded, detail + QStringLiteral("\nsaved: ") + QString::fromUtf8(firstSave));
    FUZZ_CHECK(again.mPreferences.keys() == store.mPreferences.keys(),
        detail + QStringLiteral("\nsaved: ") + QString::fromUtf8(firstSave));
    for (auto it = store.mPreferences.cbegin(); it != store.mPreferences.cend(); ++it)
        FUZZ_CHECK(again.mPreferences.value(it.key()) == it.value(),
            detail + QStringLiteral("\nkey: ") + it.key() + QStringLiteral("\nsaved: ") + QString::fromUtf8(firstSave));

    FUZZ_CHECK(again.Save(), detail);
    FUZZ_CHECK(readBack() == firstSave, detail + QStringLiteral("\nsaved: ") + QString::fromUtf8(firstSave));
    return 0;
}
