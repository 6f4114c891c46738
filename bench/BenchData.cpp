#include "BenchData.h"

#include "MmsDB.h"

#include <QImage>
#include <QPainter>

#include <sys/resource.h>

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
    store.beginTran();
    for (int i = 0; i < total; ++i) {
        SMSInfo sms = message(i, conversations);
        if (mmsEvery > 0 && i % mmsEvery == 0) {
            AttachmentInfo attachment;
            attachment.fileName = QStringLiteral("IMG_%1.jpg").arg(i);
            attachment.filePath = picture;
            attachment.mimeType = QStringLiteral("image/jpeg");
            sms.attachments.append(attachment);
        }
        store.insertSMS(sms);
    }
    store.commitTran();
}

long peakRssMiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace BenchData
