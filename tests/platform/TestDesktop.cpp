// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/Exceptions.h"
#include "gui/framework/Desktop.h"

#include <QDesktopServices>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

// Stands in for the desktop: QDesktopServices hands it what would have gone to the file
// browser or the web browser.
class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public Q_SLOTS:
    void open(const QUrl &url) { urls.append(url); }
};

class TestDesktop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void opensExistingItem_data();
    void opensExistingItem();
    void unopenablePathThrows_data();
    void unopenablePathThrows();
    void refusalOfTheDesktopThrows();
    void showURLHandsOverTheAddress_data();
    void showURLHandsOverTheAddress();

private:
    UrlRecorder m_files;
    UrlRecorder m_web;
};

void TestDesktop::init()
{
    m_files.urls.clear();
    m_web.urls.clear();
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_files, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_web, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_web, "open");
}

void TestDesktop::cleanup()
{
    for (const char *scheme : {"file", "https", "http"})
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
}

void TestDesktop::opensExistingItem_data()
{
    QTest::addColumn<QString>("relativeName");
    QTest::addColumn<QString>("givenSuffix");
    QTest::newRow("folder") << QStringLiteral("OnTheAir Video Logs") << QString();
    QTest::newRow("folder with trailing slash") << QStringLiteral("OnTheAir Video Logs") << QStringLiteral("/");
    QTest::newRow("non-ASCII and #") << QStringLiteral("Logs #2 \u00e9t\u00e9") << QString();
}

void TestDesktop::opensExistingItem()
{
    QFETCH(QString, relativeName);
    QFETCH(QString, givenSuffix);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(relativeName));
    const QString folder = dir.filePath(relativeName);

    Desktop::openFolder(folder + givenSuffix);

    QCOMPARE(m_files.urls.size(), 1);
    const QUrl url = m_files.urls.constFirst();
    QVERIFY(url.isLocalFile());
    QCOMPARE(QDir::cleanPath(url.toLocalFile()), folder);
    QVERIFY(m_web.urls.isEmpty());
}

void TestDesktop::unopenablePathThrows_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("empty") << QString();
    QTest::newRow("missing") << QStringLiteral("/nonexistent-brenvale-folder/OnTheAir Video Logs/");
    QTest::newRow("only spaces") << QStringLiteral("   ");
}

void TestDesktop::unopenablePathThrows()
{
    QFETCH(QString, path);
    bool thrown = false;
    try {
        Desktop::openFolder(path);
    } catch (const IOException &error) {
        thrown = true;
        QVERIFY(error.errorNumber() != 0);
        QVERIFY(!error.message().isEmpty());
    }
    QVERIFY(thrown);
    QVERIFY(m_files.urls.isEmpty());
}

void TestDesktop::refusalOfTheDesktopThrows()
{
    // A handler whose method does not exist makes QDesktopServices report failure.
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_files, "noSuchMethod");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("No such method")));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY_THROWS_EXCEPTION(IOException, Desktop::openFolder(dir.path()));
}

void TestDesktop::showURLHandsOverTheAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("https") << QStringLiteral("https://www.example.org/");
    QTest::newRow("query and fragment") << QStringLiteral("https://www.example.org/a%20b?x=1&y=2#top");
    QTest::newRow("http") << QStringLiteral("http://www.example.org");
}

void TestDesktop::showURLHandsOverTheAddress()
{
    QFETCH(QString, address);
    Desktop::showURL(address);
    QCOMPARE(m_web.urls.size(), 1);
    QCOMPARE(m_web.urls.constFirst().toString(QUrl::FullyEncoded), address);
    QVERIFY(m_files.urls.isEmpty());
}

QTEST_MAIN(TestDesktop)
#include "TestDesktop.moc"
