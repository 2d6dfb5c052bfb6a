// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "core/platform/Bundle.h"
#include "gui/framework/BundlePictures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>

// The build puts this test into TestBundle.app/Contents/MacOS, the place of the program's
// executable in its bundle; the test fills Contents/Resources itself.
class TestBundlePictures : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void contentsFolderIsTwoAboveTheExecutable();
    void loadsPictures_data();
    void loadsPictures();
    void absentOrBrokenPictureIsNull_data();
    void absentOrBrokenPictureIsNull();
    void pictureAddedLaterIsFound();

private:
    QString m_resources;
};

void TestBundlePictures::initTestCase()
{
    const QDir executableFolder(QCoreApplication::applicationDirPath());
    QCOMPARE(executableFolder.dirName(), QStringLiteral("MacOS"));
    m_resources = QDir::cleanPath(executableFolder.absolutePath() + QStringLiteral("/../Resources"));
    QDir(m_resources).removeRecursively();
    QVERIFY(QDir().mkpath(m_resources));

    const struct
    {
        const char *name;
        int width, height;
    } pictures[] = {{"AppStrap", 348, 94}, {"buttonBD", 90, 33}, {"pixl1x", 37, 47}};
    for (const auto &picture : pictures) {
        QImage image(picture.width, picture.height, QImage::Format_ARGB32);
        image.fill(Qt::darkCyan);
        QVERIFY(
            image.save(m_resources + QLatin1Char('/') + QLatin1String(picture.name) + QStringLiteral(".png"), "PNG"));
    }

    QFile broken(m_resources + QStringLiteral("/broken.png"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();
    QVERIFY(QDir().mkpath(m_resources + QStringLiteral("/folder.png")));
}

void TestBundlePictures::cleanupTestCase()
{
    QDir(m_resources).removeRecursively();
}

void TestBundlePictures::contentsFolderIsTwoAboveTheExecutable()
{
    const QString contents = Bundle::contentsFolder();
    QCOMPARE(QFileInfo(contents).fileName(), QStringLiteral("Contents"));
    QCOMPARE(QFileInfo(contents).absoluteDir().dirName(), QStringLiteral("TestBundle.app"));
    QCOMPARE(contents + QStringLiteral("/Resources"), m_resources);
}

void TestBundlePictures::loadsPictures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("AppStrap") << QStringLiteral("AppStrap") << QSize(348, 94);
    QTest::newRow("buttonBD") << QStringLiteral("buttonBD") << QSize(90, 33);
    QTest::newRow("pixl1x") << QStringLiteral("pixl1x") << QSize(37, 47);
}

void TestBundlePictures::loadsPictures()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    const QPixmap picture = BundlePictures::loadBundlePicture(name);
    QVERIFY(!picture.isNull());
    QCOMPARE(picture.size(), size);
    QCOMPARE(picture.toImage().pixelColor(0, 0), QColor(Qt::darkCyan));
}

void TestBundlePictures::absentOrBrokenPictureIsNull_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("absent") << QStringLiteral("missing");
    QTest::newRow("letter case differs") << QStringLiteral("appstrap");
    QTest::newRow("extension given") << QStringLiteral("AppStrap.png");
    QTest::newRow("not a picture") << QStringLiteral("broken");
    QTest::newRow("folder") << QStringLiteral("folder");
    QTest::newRow("empty name") << QString();
    QTest::newRow("outside the resources") << QStringLiteral("../Resources/AppStrap");
}

void TestBundlePictures::absentOrBrokenPictureIsNull()
{
    QFETCH(QString, name);
    QVERIFY(BundlePictures::loadBundlePicture(name).isNull());
    // Asking again gives the same answer; nothing about the failure is remembered.
    QVERIFY(BundlePictures::loadBundlePicture(name).isNull());
}

void TestBundlePictures::pictureAddedLaterIsFound()
{
    const QString name = QStringLiteral("later");
    QVERIFY(BundlePictures::loadBundlePicture(name).isNull());
    QImage image(5, 7, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(m_resources + QStringLiteral("/later.png"), "PNG"));
    QCOMPARE(BundlePictures::loadBundlePicture(name).size(), QSize(5, 7));
}

QTEST_MAIN(TestBundlePictures)
#include "TestBundlePictures.moc"
