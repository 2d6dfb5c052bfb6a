// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
// brenvale-siege-tap: loaded into the program with LD_PRELOAD by brenvale-siege, it writes what is
// only seen on screen to the file named by BRENVALE_SIEGE_TAP, one line per event, stamped on
// CLOCK_MONOTONIC in nanoseconds:
//   <ns> box <text>     a message box was shown (always)
//   <ns> boxtext <format> <bytes> <hash>  right after it: the box's text format (plain, rich,
//                       auto or markdown), the length of its whole text in UTF-8 and the
//                       64-bit FNV-1a hash of those bytes in hexadecimal
//   <ns> row <text>     a row went into a list view (BRENVALE_SIEGE_TAP_ROWS=1)
//   <ns> paint          a widget was painted, at most one line per 5 ms (BRENVALE_SIEGE_TAP_PAINTS=1)
// With BRENVALE_SIEGE_DISMISS_MS=<n> every box is dismissed <n> ms after it shows, as an operator
// would. It only watches: every call goes on to Qt unchanged.
#include <QCoreApplication>
#include <QEvent>
#include <QListWidget>
#include <QMessageBox>
#include <QTimer>

#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace {
int s_fd = -1;
bool s_rows = false;
bool s_paints = false;
int s_dismissMs = 0;
qint64 s_lastPaint = 0;

qint64 nowNs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

const char *formatName(Qt::TextFormat format)
{
    switch (format) {
    case Qt::PlainText:
        return "plain";
    case Qt::RichText:
        return "rich";
    case Qt::MarkdownText:
        return "markdown";
    default:
        return "auto";
    }
}

quint64 fnv1a(const QByteArray &bytes)
{
    quint64 hash = 14695981039346656037ULL;
    for (const char byte : bytes) {
        hash ^= quint8(byte);
        hash *= 1099511628211ULL;
    }
    return hash;
}

void record(qint64 at, const char *kind, const QString &text = {})
{
    QByteArray line = QByteArray::number(at) + ' ' + kind;
    if (!text.isEmpty())
        line += ' ' + text.left(300).toUtf8().replace('\n', ' ').replace('\r', ' ');
    line += '\n';
    [[maybe_unused]] const auto written = ::write(s_fd, line.constData(), size_t(line.size()));
}

class Watcher : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && s_paints) {
            const qint64 at = nowNs();
            if (at - s_lastPaint >= 5'000'000) {
                s_lastPaint = at;
                record(at, "paint");
            }
        } else if (event->type() == QEvent::Show) {
            if (auto *box = qobject_cast<QMessageBox *>(object)) {
                const qint64 at = nowNs();
                record(at, "box", box->text());
                const QByteArray whole = box->text().toUtf8();
                record(at, "boxtext",
                    QString::fromLatin1(formatName(box->textFormat())) + u' ' + QString::number(whole.size()) + u' '
                        + QString::number(fnv1a(whole), 16));
                if (s_dismissMs > 0)
                    QTimer::singleShot(s_dismissMs, box, [box] { box->done(QMessageBox::Ok); });
            }
        }
        return false;
    }
};

void start()
{
    const QByteArray path = qgetenv("BRENVALE_SIEGE_TAP");
    // The playout script and other children are not watched.
    unsetenv("LD_PRELOAD");
    if (path.isEmpty())
        return;
    s_fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    s_rows = qgetenv("BRENVALE_SIEGE_TAP_ROWS") == "1";
    s_paints = qgetenv("BRENVALE_SIEGE_TAP_PAINTS") == "1";
    s_dismissMs = qEnvironmentVariableIntValue("BRENVALE_SIEGE_DISMISS_MS");
    if (s_fd >= 0)
        QCoreApplication::instance()->installEventFilter(new Watcher(QCoreApplication::instance()));
}
} // namespace

Q_COREAPP_STARTUP_FUNCTION(start)

// Stands in front of Qt's own, which it calls on.
void QListWidget::insertItem(int row, const QString &label)
{
    using Real = void (*)(QListWidget *, int, const QString &);
    static const auto real
        = reinterpret_cast<Real>(dlvsym(RTLD_NEXT, "_ZN11QListWidget10insertItemEiRK7QString", "Qt_6"));
    if (s_rows && s_fd >= 0)
        record(nowNs(), "row", label);
    real(this, row, label);
}
