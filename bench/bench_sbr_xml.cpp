// Imports a generated XML backup of the Android app "SMS Backup & Restore" the way the
// import command does (preview, then the import into a fresh account) and exports that
// account back to XML, printing the rates and the peak memory of each step.
//
//   bench_sbr_xml [SMS=100000] [MMS=2000] [PICTURE_MB=200]
//
// The MMS carry JPEG pictures inline, a few distinct ones reused, PICTURE_MB in all. The
// import's figures include the thumbnails the store makes of every picture. Peak memory
// is the process's high-water mark, reset before each step (Linux: /proc/self/clear_refs).

#include "Accounts.h"
#include "BenchData.h"
#include "ExportFormat.h"
#include "LocalBackupThread.h"
#include "LocalPreviewXmlThread.h"
#include "LocalRestoreThread.h"
#include "MmsDB.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

#include <sys/resource.h>

namespace {

constexpr int kDistinctPictures = 8;

// The high-water mark of resident memory, MiB, from /proc/self/status.
double peakMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return double(BenchData::peakRssMiB());
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

// Starts the high-water mark afresh at the present resident memory.
void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// A JPEG of noise (which compresses badly, like a photo) of about the given size.
QByteArray noisePicture(int seed, qint64 bytes)
{
    QRandomGenerator random(quint32(seed + 1));
    int side = 200;
    QByteArray jpeg;
    for (int attempt = 0; attempt < 3; ++attempt) {
        QImage image(side, side * 3 / 4, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = random.generate() | 0xFF000000u;
        }
        jpeg.clear();
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG", 80);
        side = qMax(16, int(side * std::sqrt(double(bytes) / double(jpeg.size()))));
    }
    return jpeg;
}

QByteArray escaped(const QString &text)
{
    return text.toHtmlEscaped().toUtf8();
}

// Writes the backup element by element; returns the bytes of pictures written.
qint64 writeBackup(const QString &path, int smsCount, int mmsCount, qint64 pictureBytes)
{
    QList<QByteArray> pictures;
    for (int i = 0; i < kDistinctPictures; ++i)
        pictures.append(noisePicture(i, pictureBytes / qMax(1, mmsCount)).toBase64());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 0;
    file.write("<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n<smses count=\""
        + QByteArray::number(smsCount + mmsCount) + "\">\n");
    const int total = smsCount + mmsCount;
    const int mmsEvery = mmsCount > 0 ? total / mmsCount : 0;
    qint64 written = 0;
    int mmsDone = 0;
    for (int i = 0; i < total; ++i) {
        const SMSInfo sms = BenchData::message(i, 500);
        const QByteArray common = "date=\"" + QByteArray::number(sms.date.toMSecsSinceEpoch()) + "\" address=\""
            + escaped(sms.address) + "\" contact_name=\"" + escaped(sms.person) + "\"";
        if (mmsEvery > 0 && i % mmsEvery == 0 && mmsDone < mmsCount) {
            const QByteArray &picture = pictures.at(mmsDone++ % kDistinctPictures);
            written += picture.size() / 4 * 3;
            file.write("  <mms " + common + " msg_box=\"" + (sms.isSend ? "2" : "1")
                + "\" sub=\"null\" ct_t=\"application/vnd.wap.multipart.related\">\n    <parts>\n"
                  "      <part seq=\"0\" ct=\"text/plain\" name=\"null\" text=\""
                + escaped(sms.body) + "\" />\n      <part seq=\"1\" ct=\"image/jpeg\" cl=\"IMG_" + QByteArray::number(i)
                + ".jpg\" text=\"null\" data=\"" + picture + "\" />\n    </parts>\n    <addrs>\n      <addr address=\""
                + escaped(sms.address) + "\" type=\"" + (sms.isSend ? "151" : "137")
                + "\" charset=\"106\" />\n    </addrs>\n  </mms>\n");
        } else {
            file.write("  <sms protocol=\"0\" " + common + " type=\"" + (sms.isSend ? "2" : "1")
                + "\" subject=\"null\" body=\"" + escaped(sms.body) + "\" read=\"1\" status=\"-1\" />\n");
        }
    }
    file.write("</smses>\n");
    return written;
}

// User and system time of the process, seconds: on a shared machine a steadier measure
// of the work done than the time on the clock.
double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Step
{
    double seconds = 0;
    double cpu = 0;
    double peak = 0;
};

Step run(ProgressThread &worker)
{
    resetPeak();
    const double cpuBefore = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    worker.start();
    worker.wait();
    return {timer.nsecsElapsed() / 1e9, cpuSeconds() - cpuBefore, peakMiB()};
}

void report(const char *what, const Step &step, qint64 messages, double megabytes)
{
    std::printf("%-26s %6.2f s (cpu %6.2f s) %8.0f messages/s %7.1f MB/s  peak %6.1f MiB\n", what, step.seconds,
        step.cpu, double(messages) / step.seconds, megabytes / step.seconds, step.peak);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    qputenv("HOME", dir.path().toUtf8());
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("share")).toUtf8());
    qputenv("TMPDIR", dir.path().toUtf8());
    QGuiApplication app(argc, argv);
    const int smsCount = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int mmsCount = argc > 2 ? std::atoi(argv[2]) : 2000;
    const qint64 pictureBytes = (argc > 3 ? std::atoll(argv[3]) : 200) * 1000 * 1000;

    const QString xml = dir.filePath(QStringLiteral("backup.xml"));
    const double pictureMB = writeBackup(xml, smsCount, mmsCount, pictureBytes) / 1e6;
    const double fileMB = QFileInfo(xml).size() / 1e6;
    std::printf("backup: %d SMS, %d MMS, %.1f MB of pictures, file %.1f MB, resident before %.1f MiB\n", smsCount,
        mmsCount, pictureMB, fileMB, peakMiB());

    LocalPreviewXmlThread preview(xml, nullptr);
    const Step read = run(preview);
    const qint64 messages = preview.messages().size();
    report("preview (read the file)", read, messages, fileMB);

    Accounts::createAccount(QStringLiteral("bench"));
    Accounts::openAccount(QStringLiteral("bench"));
    LocalRestoreThread import(preview.messages(), nullptr);
    const Step filed = run(import);
    report("import (with thumbnails)", filed, messages, pictureMB);
    const Step both {read.seconds + filed.seconds, read.cpu + filed.cpu, qMax(read.peak, filed.peak)};
    report("preview + import", both, messages, pictureMB);

    const QList<SMSInfo> stored = Accounts::currentStore()->querySMS({});
    LocalBackupThread exporter(
        stored, dir.filePath(QStringLiteral("out.xml")), QString(), int(ExportFormat::SbrXml), nullptr);
    const Step exported = run(exporter);
    report(
        "export back to XML", exported, stored.size(), QFileInfo(dir.filePath(QStringLiteral("out.xml"))).size() / 1e6);
    Accounts::setCurrentStore(nullptr);
    return 0;
}
