// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/Exceptions.h"
#include "gui/framework/Desktop.h"
#include "support/FakeOpener.h"

#include <QDesktopServices>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <csignal>
#include <memory>
#include <unistd.h>

// Stands in for the web browser: QDesktopServices hands it what would have gone there.
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
    void missingOpenerThrows();
    void openerInheritsNothingOfOurs();
    void showURLHandsOverTheAddress_data();
    void showURLHandsOverTheAddress();

private:
    std::unique_ptr<FakeOpener> m_opener;
    UrlRecorder m_files;
    UrlRecorder m_web;
};

void TestDesktop::init()
{
    m_opener = std::make_unique<FakeOpener>();
    QVERIFY(m_opener->isValid());
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
    m_opener.reset();
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

    QVERIFY(m_opener->waitForUrls(1));
    QCOMPARE(m_opener->urls().size(), 1);
    // The opener gets the folder's URL in its encoded form, as the desktop's own launcher gives it.
    const QUrl url = QUrl::fromEncoded(m_opener->urls().constFirst().toLatin1(), QUrl::StrictMode);
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
    QTest::qWait(100);
    QVERIFY(m_opener->urls().isEmpty());
}

void TestDesktop::missingOpenerThrows()
{
    m_opener->remove();
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY_THROWS_EXCEPTION(IOException, Desktop::openFolder(dir.path()));
}

void TestDesktop::openerInheritsNothingOfOurs()
{
    // What the program does to itself after its start: a variable set, SIGPIPE and SIGHUP
    // ignored, a descriptor open without close-on-exec.
    const bool setAtStart = qEnvironmentVariableIsSet("QT_NO_GLIB");
    qputenv("QT_NO_GLIB", "1");
    const auto pipeBefore = std::signal(SIGPIPE, SIG_IGN);
    const auto hangUpBefore = std::signal(SIGHUP, SIG_IGN);
    const int leaked = ::dup(STDOUT_FILENO);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    Desktop::openFolder(dir.path());
    const auto inherited = m_opener->firstInherited();

    ::close(leaked);
    std::signal(SIGPIPE, pipeBefore);
    std::signal(SIGHUP, hangUpBefore);
    if (!setAtStart)
        qunsetenv("QT_NO_GLIB");
    QVERIFY(inherited);
    QCOMPARE(inherited->descriptors, (QStringList {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")}));
    QCOMPARE(('\0' + inherited->environment).contains(QByteArrayView("\0QT_NO_GLIB=", 12)), setAtStart);
    // Signals 1 to 31; the two real-time signals above them are the C library's own, which its
    // posix_spawn leaves ignored in every child.
    QCOMPARE(inherited->ignoredSignals & 0x7FFFFFFFULL, 0ULL);
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
