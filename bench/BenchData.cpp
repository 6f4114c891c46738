#include "BenchData.h"

#include "MmsDB.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>

#include <atomic>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

namespace BenchData {

SMSInfo message(int i, int conversations)
{
    const int conversation = i % conversations;
    SMSInfo sms;
    sms.address = QStringLiteral("+44 7700 %1").arg(900000 + conversation);
    sms.person = QStringLiteral("Contact %1").arg(conversation);
    sms.body = QStringLiteral("Message %1: see you at the station at half past six, and bring the tickets.").arg(i);
    sms.isSend = i % 3 == 0;
    sms.date = QDateTime::fromMSecsSinceEpoch(Q_INT64_C(1'600'000'000'000) + qint64(i) * 60'000 + 123, Qt::UTC);
    return sms;
}

QString writePicture(const QString &path)
{
    QImage image(640, 480, QImage::Format_RGB32);
    image.fill(QColor(40, 90, 160));
    QPainter painter(&image);
    painter.setBrush(QColor(240, 200, 60));
    painter.drawEllipse(200, 120, 240, 240);
    painter.end();
    image.save(path, "JPEG", 85);
    return path;
}

void fill(MmsDB &store, int total, int conversations, int mmsPercent, const QString &picture)
{
    const int mmsEvery = mmsPercent > 0 ? 100 / mmsPercent : 0;
    // One thumbnail copied for every picture: making each anew would make filling a large
    // store take minutes, and no benchmark times the filling.
    const QString thumbnail = picture + QStringLiteral(".thumb.jpg");
    MmsDB::makeThumbnail(picture, thumbnail);
    MmsDB::Transaction transaction(store);
    for (int i = 0; i < total; ++i) {
        SMSInfo sms = message(i, conversations);
        if (mmsEvery > 0 && i % mmsEvery == 0) {
            AttachmentInfo attachment;
            attachment.fileName = QStringLiteral("IMG_%1.jpg").arg(i);
            attachment.filePath = picture;
            attachment.thumbPath = thumbnail;
            attachment.mimeType = QStringLiteral("image/jpeg");
            sms.attachments.append(attachment);
        }
        store.insertSMS(sms);
    }
    transaction.commit();
}

long peakRssMiB()
{
    // The kernel's high-water mark, which resetPeakRss can lower; the process's own figure otherwise.
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toLong() / 1024;
        }
    }
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

bool resetPeakRss()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

long currentRssKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

std::pair<double, double> measure(const std::function<void()> &work)
{
    const long before = currentRssKiB();
    std::atomic_bool done {false};
    std::atomic_long highest {before};
    std::thread sampler([&] {
        while (!done) {
            highest = std::max(highest.load(), currentRssKiB());
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    QElapsedTimer timer;
    timer.start();
    work();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    done = true;
    sampler.join();
    return {seconds, double(std::max(highest.load(), currentRssKiB()) - before) / 1024.0};
}

} // namespace BenchData
