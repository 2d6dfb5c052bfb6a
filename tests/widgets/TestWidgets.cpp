// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "gui/widgets/largeButton.h"
#include "gui/widgets/medButton.h"

#include <QEnterEvent>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <climits>
#include <functional>
#include <memory>

namespace {

const QColor pushedBlue(0x2A, 0x61, 0xC5);
const QColor hoverOrange(0xFC, 0x7F, 0x08);
const QColor windowGrey(0x4B, 0x4B, 0x4B);

std::unique_ptr<CanvasButton> makeButton(const QString &kind)
{
    if (kind == QLatin1String("large"))
        return std::make_unique<largeButton>();
    return std::make_unique<medButton>();
}

// The button alone on a transparent image: whatever is not painted stays transparent.
QImage renderAlone(CanvasButton &button, QSize imageSize = {}, QPoint offset = {})
{
    QImage image(imageSize.isValid() ? imageSize : button.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    button.render(&image, offset, QRegion(), QWidget::DrawChildren);
    return image;
}

// Bounding box of every pixel of exactly this colour, or with no colour of every pixel painted.
QRect inkOf(const QImage &image, const QColor &color = QColor())
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (color.isValid() ? image.pixelColor(x, y) == color : image.pixelColor(x, y).alpha() > 0)
                box |= QRect(x, y, 1, 1);
    return box;
}

void sendEnter(QWidget *w)
{
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)));
    QCoreApplication::sendEvent(w, &enter);
}

void sendLeave(QWidget *w)
{
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(w, &leave);
}

class PaintCounter : public QObject
{
public:
    int count = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

} // namespace

class TestWidgets : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void captionPosition_data();
    void captionPosition();
    void defaults();
    void captionFont();
    void fill_data();
    void fill();
    void windowShowsThrough();
    void captionInTextColor();
    void captionWiderThanButton();
    void backdropDroppedByPaint();
    void mouseTable_data();
    void mouseTable();
    void pressWithSecondButton();
    void mouseEventsRepaint();
    void ownerChangesShowOnRedraw();
    void lostReleaseDropsThePress_data();
    void lostReleaseDropsThePress();
    void focus();
};

void TestWidgets::captionPosition_data()
{
    QTest::addColumn<qreal>("gWidth");
    QTest::addColumn<qreal>("gHeight");
    QTest::addColumn<qreal>("captionWidth");
    QTest::addColumn<qreal>("ascent");
    QTest::addColumn<QPointF>("expected");
    QTest::newRow("key button") << 90.0 << 33.0 << 52.4 << 11.7 << QPointF(18, 23);
    QTest::newRow("caption wider") << 90.0 << 33.0 << 100.0 << 11.7 << QPointF(-5, 23);
    // -11 halves toward zero to -5, not down to -6; -0.6 truncates to 0.
    QTest::newRow("odd overflow") << 90.0 << 33.0 << 101.0 << 11.7 << QPointF(-5, 23);
    QTest::newRow("slight overflow") << 90.0 << 33.0 << 90.6 << 11.7 << QPointF(0, 23);
    QTest::newRow("ascent taller") << 90.0 << 10.0 << 52.4 << 11.7 << QPointF(18, 10);
    QTest::newRow("large button") << 188.0 << 70.0 << 140.9 << 38.2 << QPointF(23, 55);
    QTest::newRow("saturates") << 90.0 << 33.0 << 1e12 << 11.7 << QPointF(INT_MIN / 2, 23);
}

void TestWidgets::captionPosition()
{
    QFETCH(qreal, gWidth);
    QFETCH(qreal, gHeight);
    QFETCH(qreal, captionWidth);
    QFETCH(qreal, ascent);
    QFETCH(QPointF, expected);
    QCOMPARE(CanvasButton::captionPosition(gWidth, gHeight, captionWidth, ascent), expected);
}

void TestWidgets::defaults()
{
    for (const auto &kind : {QStringLiteral("med"), QStringLiteral("large")}) {
        const auto button = makeButton(kind);
        QCOMPARE(button->caption(), QStringLiteral("label"));
        QCOMPARE(button->state(), QStringLiteral("normal"));
        QCOMPARE(button->textColor(), QColor(0, 0, 0));
        QCOMPARE(button->bgColor(), QColor(0x51, 0x53, 0x52));
        QCOMPARE(button->textSize(), qint64(0));
        QVERIFY(button->backdrop().isNull());
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        QVERIFY(!button->autoFillBackground());
    }
}

void TestWidgets::captionFont()
{
    medButton button;
    QFont font = button.captionFont();
    QVERIFY(font.bold());
    QCOMPARE(font.family(), QStringLiteral("Helvetica"));
    QCOMPARE(font.pointSizeF(), QGuiApplication::font().pointSizeF());
    // Where Helvetica itself is missing a sans face must serve, bold.
    const QFontInfo info(font);
    QVERIFY(info.bold());
    QVERIFY2(!info.family().contains(QLatin1String("Mono")) && !info.family().contains(QLatin1String("Serif")),
        qPrintable(info.family()));
    button.setTextSize(40);
    font = button.captionFont();
    // Design points are pixels: 40 points fill 40 pixels whatever the screen's dpi.
    QCOMPARE(font.pixelSize(), 40);

    // The painted caption uses that font: capitals as tall as its cap height.
    QImage image(188, 70, QImage::Format_ARGB32_Premultiplied);
    const qreal capHeight = QFontMetricsF(font, &image).capHeight();
    button.resize(188, 70);
    button.setCaption(QStringLiteral("HH"));
    button.setState(QStringLiteral("none"));
    const QRect ink = inkOf(renderAlone(button), QColor(0, 0, 0));
    QVERIFY2(
        qAbs(ink.height() - capHeight) <= 2.0, qPrintable(QStringLiteral("%1 vs %2").arg(ink.height()).arg(capHeight)));
}

void TestWidgets::fill_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QColor>("bgColor");
    QTest::addColumn<QColor>("fill");
    QTest::addColumn<int>("inset");
    const QColor grey(0x51, 0x53, 0x52);
    const QColor keyGrey(0xC8, 0xC8, 0xC8);
    QTest::newRow("normal") << QStringLiteral("normal") << grey << grey << 0;
    QTest::newRow("normal, own colour") << QStringLiteral("Normal") << keyGrey << keyGrey << 0;
    QTest::newRow("pushed") << QStringLiteral("pushed") << grey << pushedBlue << 3;
    QTest::newRow("PUSHED") << QStringLiteral("PUSHED") << grey << pushedBlue << 3;
    QTest::newRow("hover") << QStringLiteral("hover") << grey << hoverOrange << 1;
    QTest::newRow("HoVeR") << QStringLiteral("HoVeR") << keyGrey << hoverOrange << 1;
    QTest::newRow("unknown") << QStringLiteral("pressed") << grey << QColor() << 0;
    QTest::newRow("empty") << QString() << grey << QColor() << 0;
}

void TestWidgets::fill()
{
    QFETCH(QString, state);
    QFETCH(QColor, bgColor);
    QFETCH(QColor, fill);
    QFETCH(int, inset);
    for (const auto &kind : {QStringLiteral("med"), QStringLiteral("large")}) {
        const auto button = makeButton(kind);
        button->resize(90, 33);
        button->setCaption(QString());
        button->setBgColor(bgColor);
        button->setState(state);
        const QImage image = renderAlone(*button);
        if (!fill.isValid()) {
            QCOMPARE(inkOf(image), QRect());
            continue;
        }
        const int w = image.width(), h = image.height();
        // Each edge of the fill is exact, the pixel beyond it untouched.
        for (const QPoint p : {QPoint(inset, h / 2), QPoint(w - 1 - inset, h / 2), QPoint(w / 2, inset),
                 QPoint(w / 2, h - 1 - inset), QPoint(w / 2, h / 2), QPoint(inset + 2, inset + 2)})
            QCOMPARE(image.pixelColor(p), fill);
        if (inset > 0) {
            for (const QPoint p : {QPoint(inset - 1, h / 2), QPoint(w - inset, h / 2), QPoint(w / 2, inset - 1),
                     QPoint(w / 2, h - inset), QPoint(0, 0)})
                QCOMPARE(image.pixelColor(p).alpha(), 0);
        }
        // Rounded corners: the corner pixel is not fully covered.
        QVERIFY(image.pixelColor(inset, inset).alpha() < 255);
        QVERIFY(image.pixelColor(w - 1 - inset, h - 1 - inset).alpha() < 255);
    }
}

void TestWidgets::windowShowsThrough()
{
    QWidget window;
    window.resize(200, 100);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, windowGrey);
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    auto *button = new medButton(&window);
    button->setGeometry(20, 20, 90, 33);
    button->setCaption(QString());
    // A palette of its own that the button must not paint with.
    palette.setColor(QPalette::Window, Qt::magenta);
    button->setPalette(palette);

    button->setState(QStringLiteral("unknown"));
    QImage image = window.grab().toImage();
    QCOMPARE(image.pixelColor(20 + 45, 20 + 16), windowGrey);

    button->setState(QStringLiteral("pushed"));
    image = window.grab().toImage();
    QCOMPARE(image.pixelColor(20 + 1, 20 + 16), windowGrey);
    QCOMPARE(image.pixelColor(20 + 45, 20 + 16), pushedBlue);
}

void TestWidgets::captionInTextColor()
{
    const QColor red(0xFF, 0, 0);
    medButton button;
    button.resize(90, 33);
    button.setState(QStringLiteral("none"));
    button.setCaption(QStringLiteral("HHHH"));
    button.setTextColor(red);
    button.setTextSize(14);
    QImage image = renderAlone(button);
    const QRect ink = inkOf(image, red);
    QVERIFY(!ink.isEmpty());

    // Centred across; the capitals stand on the baseline the formula gives.
    const QFontMetricsF metrics(button.captionFont(), &image);
    const QPointF origin
        = CanvasButton::captionPosition(90, 33, metrics.horizontalAdvance(button.caption()), metrics.ascent());
    QVERIFY2(qAbs((ink.left() + ink.right() + 1) / 2.0 - 45) <= 2.0, qPrintable(QString::number(ink.center().x())));
    QVERIFY(qAbs(ink.bottom() + 1 - origin.y()) <= 1.0);

    // The default button: "label" in black on the grey fill, over the whole area.
    medButton plain;
    plain.resize(90, 33);
    image = renderAlone(plain);
    QCOMPARE(image.pixelColor(0, 16), QColor(0x51, 0x53, 0x52));
    const QRect label = inkOf(image, QColor(0, 0, 0));
    QVERIFY(!label.isEmpty());
    QVERIFY(label.left() > 20 && label.right() < 70 && label.top() > 5 && label.bottom() < 28);
}

void TestWidgets::captionWiderThanButton()
{
    const QColor red(0xFF, 0, 0);
    largeButton button;
    button.resize(90, 33);
    button.setState(QStringLiteral("none"));
    button.setTextColor(red);
    button.setCaption(QStringLiteral("WWWWWWWWWWWWWWWWWWWW"));
    // Rendered at 50, 10 on a larger image: the ink overflows both sides of the button and is
    // cut at its edges.
    const QImage image = renderAlone(button, QSize(190, 53), QPoint(50, 10));
    QVERIFY(!inkOf(image, red).isEmpty());
    const QRect ink = inkOf(image);
    QCOMPARE(ink.left(), 50);
    QCOMPARE(ink.right(), 50 + 89);
    QVERIFY(QRect(50, 10, 90, 33).contains(ink));
}

void TestWidgets::backdropDroppedByPaint()
{
    QPixmap picture(90, 33);
    picture.fill(Qt::red);
    medButton button;
    button.resize(90, 33);
    button.setCaption(QString());
    button.setState(QStringLiteral("none"));
    button.setBackdrop(picture);
    QCOMPARE(button.backdrop().size(), QSize(90, 33));
    const QImage image = renderAlone(button);
    QVERIFY(button.backdrop().isNull());
    // Not even the first paint shows it.
    QCOMPARE(inkOf(image), QRect());

    button.setBackdrop(picture);
    renderAlone(button);
    QVERIFY(button.backdrop().isNull());
}

void TestWidgets::mouseTable_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("states"); // after each step
    QTest::addColumn<int>("actions");
    const auto list = [](const char *s) { return QString::fromLatin1(s).split(QLatin1Char(' ')); };
    QTest::newRow("med click") << "med"
                               << "normal" << list("enter press release leave") << list("hover pushed normal normal")
                               << 1;
    QTest::newRow("med drag off") << "med"
                                  << "normal" << list("enter press leave releaseOutside")
                                  << list("hover pushed normal normal") << 1;
    QTest::newRow("med release without press") << "med"
                                               << "normal" << list("enter release") << list("hover hover") << 0;
    QTest::newRow("med double click") << "med"
                                      << "normal" << list("press release dclick release")
                                      << list("pushed normal pushed normal") << 2;
    QTest::newRow("large click") << "large"
                                 << "normal" << list("enter press release leave") << list("normal pushed pushed pushed")
                                 << 1;
    QTest::newRow("large drag off") << "large"
                                    << "normal" << list("press leave releaseOutside") << list("pushed pushed pushed")
                                    << 1;
    QTest::newRow("large hover keeps pushed") << "large"
                                              << "pushed" << list("enter leave") << list("pushed pushed") << 0;
    QTest::newRow("large release without press") << "large"
                                                 << "normal" << list("release") << list("normal") << 0;
}

void TestWidgets::mouseTable()
{
    QFETCH(QString, kind);
    QFETCH(QString, initial);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, states);
    QFETCH(int, actions);
    const auto button = makeButton(kind);
    button->resize(90, 33);
    button->setState(initial);
    QSignalSpy spy(button.get(), &CanvasButton::Action);
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const QString &step = steps.at(i);
        if (step == QLatin1String("enter"))
            sendEnter(button.get());
        else if (step == QLatin1String("leave"))
            sendLeave(button.get());
        else if (step == QLatin1String("press"))
            QTest::mousePress(button.get(), Qt::LeftButton, {}, QPoint(10, 10));
        else if (step == QLatin1String("dclick"))
            QTest::mouseDClick(button.get(), Qt::LeftButton, {}, QPoint(10, 10));
        else if (step == QLatin1String("release"))
            QTest::mouseRelease(button.get(), Qt::LeftButton, {}, QPoint(12, 10));
        else if (step == QLatin1String("releaseOutside"))
            QTest::mouseRelease(button.get(), Qt::LeftButton, {}, QPoint(500, -300));
        QCOMPARE(button->state(), states.at(i));
    }
    QCOMPARE(spy.count(), actions);
}

void TestWidgets::pressWithSecondButton()
{
    medButton button;
    button.resize(90, 33);
    QSignalSpy spy(&button, &CanvasButton::Action);
    // A second button during a press neither restarts it nor ends it.
    QTest::mousePress(&button, Qt::LeftButton);
    QTest::mousePress(&button, Qt::RightButton);
    QTest::mouseRelease(&button, Qt::RightButton);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(button.state(), QStringLiteral("pushed"));
    QTest::mouseRelease(&button, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);

    // A press whose release never came (the button was hidden meanwhile) does not block the
    // next one.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), button.mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
        Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&button, &press);
    QMouseEvent again(QEvent::MouseButtonPress, QPointF(5, 5), button.mapToGlobal(QPointF(5, 5)), Qt::RightButton,
        Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&button, &again);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), button.mapToGlobal(QPointF(5, 5)), Qt::RightButton,
        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&button, &release);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(button.state(), QStringLiteral("normal"));
}

void TestWidgets::mouseEventsRepaint()
{
    for (const auto &kind : {QStringLiteral("med"), QStringLiteral("large")}) {
        const auto button = makeButton(kind);
        button->resize(90, 33);
        button->show();
        QVERIFY(QTest::qWaitForWindowExposed(button.get()));
        PaintCounter counter;
        button->installEventFilter(&counter);
        const std::function<void()> events[] = {
            [&] { sendEnter(button.get()); },
            [&] { sendLeave(button.get()); },
            [&] { QTest::mousePress(button.get(), Qt::LeftButton); },
            [&] { QTest::mouseRelease(button.get(), Qt::LeftButton); },
        };
        for (const auto &send : events) {
            counter.count = 0;
            send();
            QTRY_VERIFY(counter.count > 0);
        }
    }
}

void TestWidgets::ownerChangesShowOnRedraw()
{
    largeButton button;
    button.resize(188, 70);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    PaintCounter counter;
    button.installEventFilter(&counter);
    QTest::qWait(50);
    counter.count = 0;
    button.setState(QStringLiteral("pushed"));
    button.setTextColor(QColor(0xFF, 0x70, 0x08));
    QTest::qWait(50);
    QCOMPARE(counter.count, 0);
    button.Invalidate(true);
    QTRY_VERIFY(counter.count > 0);
    counter.count = 0;
    button.Refresh(true);
    QTRY_VERIFY(counter.count > 0);
}

void TestWidgets::focus()
{
    QWidget window;
    auto *edit = new QLineEdit(&window);
    auto *button = new largeButton(&window);
    button->setGeometry(0, 30, 188, 70);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    edit->setFocus();
    QCOMPARE(window.focusWidget(), edit);
    // Neither a click nor the owner's SetFocus takes the keyboard from where the operator put it.
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(window.focusWidget(), edit);
    button->SetFocus();
    QCOMPARE(window.focusWidget(), edit);
}

void TestWidgets::lostReleaseDropsThePress_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("cause");
    const auto row = [](const char *name, const char *kind, const char *initial, const char *cause) {
        QTest::newRow(name) << QString::fromLatin1(kind) << QString::fromLatin1(initial) << QString::fromLatin1(cause);
    };
    row("med, modal box", "med", "normal", "modal");
    row("large normal, modal box", "large", "normal", "modal");
    row("large pushed, modal box", "large", "pushed", "modal");
    row("large normal, hidden", "large", "normal", "hidden");
    row("med, disabled", "med", "normal", "disabled");
}

void TestWidgets::lostReleaseDropsThePress()
{
    QFETCH(QString, kind);
    QFETCH(QString, initial);
    QFETCH(QString, cause);
    QWidget window;
    window.resize(300, 150);
    CanvasButton *button = makeButton(kind).release();
    button->setParent(&window);
    button->setGeometry(20, 30, 188, 70);
    button->setState(initial);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy spy(button, &CanvasButton::Action);
    // Through the window system, as a real press comes.
    const QPoint inside(60, 50);
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, inside);
    QCOMPARE(button->state(), QStringLiteral("pushed"));

    QWidget box;
    if (cause == QLatin1String("modal")) {
        box.setWindowModality(Qt::ApplicationModal);
        box.show();
    } else if (cause == QLatin1String("hidden")) {
        button->hide();
    } else {
        button->setEnabled(false);
    }
    // The press that never ends takes back the look from before it, and the release that can
    // no longer reach the button does not count.
    QCOMPARE(button->state(), kind == QLatin1String("med") ? QStringLiteral("normal") : initial);
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, inside);
    box.close();
    QCOMPARE(spy.count(), 0);
}

QTEST_MAIN(TestWidgets)
#include "TestWidgets.moc"
