#include "PhoneGenerator.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace {

// splitmix64: small, fast and the same everywhere, unlike the standard distributions.
class Rng
{
public:
    explicit Rng(quint64 seed)
        : m_state(seed)
    {
    }
    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int bounded(int n) { return n <= 0 ? 0 : int(next() % quint64(n)); }
    double unit() { return double(next() >> 11) / double(1ULL << 53); }
    bool chance(double p) { return unit() < p; }
    template <typename T, size_t N> const T &pick(const T (&items)[N]) { return items[bounded(int(N))]; }

private:
    quint64 m_state;
};

const char kFirstNames[]
    = "Anna Lukas Sofia Jonas Emma Mateo Chloé Noah Mia Elias Olivia Liam Zoé Kenji Amara Ravi Ingrid Tomás "
      "Leila Finn Hannah Oskar Yuki Marta Daniel Priya Björn Camille Omar Grace Jakub Nora Diego Aisha "
      "Samuel Elena Henrik Lucía Theo Mei";
const char kLastNames[]
    = "Weber Schmidt Rossi Müller García Dubois Nakamura Okafor Kowalski Larsen Novak Silva Fischer Brown "
      "Martin Patel Andersen Costa Nguyen Wagner Hoffman Ivanova Lindqvist Moreau Santos Bauer O'Brien "
      "Yilmaz Horvat Keller";
const char *const kSentences[] = {
    "Running about 10 minutes late, sorry!",
    "Can you pick up milk on the way home?",
    "Happy birthday!! 🎉",
    "Ok, see you at 7.",
    "Did you get my email about the trip?",
    "Thanks a lot, that really helped.",
    "Call me when you have a minute.",
    "I'm at the station now.",
    "Meeting moved to 3pm, room B.",
    "Dinner tonight? I was thinking pizza 🍕",
    "The package arrived this morning.",
    "Can't talk right now, in a meeting.",
    "Good luck with the exam tomorrow!",
    "Where did you park the car?",
    "Let's do Saturday instead, if that works for you.",
    "Your appointment is confirmed for Tuesday, 09:30.",
    "Haha, that's brilliant 😂",
    "Don't forget the keys are under the mat.",
    "On my way.",
    "Grüße aus München! Das Wetter ist herrlich.",
    "¿Nos vemos mañana en el café?",
    "Merci pour hier soir, c'était super.",
    "Train delayed again, ETA 18:45.",
    "Yes",
    "No worries.",
    "Could you send me the address again?",
    "I left the charger at your place, can I grab it tomorrow?",
    "Landed safely ✈️",
    "Kids are asleep, finally.",
    "Your verification code is 482913. Do not share it with anyone.",
    "Remember to water the plants while I'm away, thanks!",
    "Bought the tickets, row 12, seats 5 and 6.",
    "Love you ❤️",
    "What time does the game start?",
    "Just saw your message, yes count me in.",
    "ありがとう！また明日。",
    "The doctor said it's nothing serious.",
    "Can we push the call to Friday?",
};
const char *const kSubjects[] = {"Photo", "Look at this!", "Vacation", "Für dich", "Re: weekend", "New place"};
const char *const kCaptions[] = {"", "", "Look at this view!", "Guess where I am 😄", "From today", "The new kitchen",
    "Found this on the way", "Sunset at the lake"};

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// One of the space-separated words of a list.
QString pickWord(Rng &rng, const char *list)
{
    const QStringList words = QString::fromUtf8(list).split(QLatin1Char(' '));
    return words[rng.bounded(int(words.size()))];
}

QString makeNumber(Rng &rng)
{
    auto digits = [&rng](int n) {
        QString s;
        for (int i = 0; i < n; ++i)
            s.append(QLatin1Char(char('0' + rng.bounded(10))));
        return s;
    };
    switch (rng.bounded(6)) {
    case 0:
        return QStringLiteral("+4917") + digits(9);
    case 1:
        return QStringLiteral("+1 415-555-0") + digits(3);
    case 2:
        return QStringLiteral("+447700900") + digits(3);
    case 3:
        return QStringLiteral("+33 6 %1 %2 %3 %4").arg(digits(2), digits(2), digits(2), digits(2));
    case 4:
        return QStringLiteral("0176 ") + digits(8);
    default:
        return QStringLiteral("+3912") + digits(8);
    }
}

QString makeBody(Rng &rng)
{
    int sentences = 1 + rng.bounded(3);
    if (rng.chance(0.05))
        sentences = 5 + rng.bounded(4); // longer than one SMS
    const QString separator = rng.chance(0.04) ? QStringLiteral("\n") : QStringLiteral(" ");
    QStringList parts;
    for (int i = 0; i < sentences; ++i)
        parts.append(text(rng.pick(kSentences)));
    return parts.join(separator);
}

struct Contact
{
    QString address;
    QString person;
};

QList<Contact> makeContacts(Rng &rng, int count)
{
    QList<Contact> contacts;
    QSet<QString> used;
    while (contacts.size() < count) {
        Contact c;
        if (rng.chance(0.04)) {
            c.address = QString::number(10000 + rng.bounded(90000)); // a short code, never a contact
        } else {
            c.address = makeNumber(rng);
            if (!rng.chance(0.12))
                c.person = pickWord(rng, kFirstNames) + QLatin1Char(' ') + pickWord(rng, kLastNames);
        }
        if (used.contains(c.address))
            continue;
        used.insert(c.address);
        contacts.append(c);
    }
    return contacts;
}

// A landscape in unit coordinates, so every size shows the same scene; the noise gives
// the encoder something to keep, which makes the file size follow the pixel count.
QImage paintLandscape(quint64 seed, int width, int height)
{
    Rng rng(seed);
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(width, height);
    p.setPen(Qt::NoPen);

    const QColor top = QColor::fromHsv(190 + rng.bounded(40), 120 + rng.bounded(100), 200 + rng.bounded(55));
    const QColor bottom = QColor::fromHsv(20 + rng.bounded(40), 60 + rng.bounded(80), 230 + rng.bounded(25));
    QLinearGradient sky(0, 0, 0, 1);
    sky.setColorAt(0, top);
    sky.setColorAt(1, bottom);
    p.fillRect(QRectF(0, 0, 1, 1), sky);

    // The sun in pixels, so that it stays round.
    const QPointF sunCentre((0.15 + 0.7 * rng.unit()) * width, (0.15 + 0.25 * rng.unit()) * height);
    const double sunRadius = 0.12 * height;
    QRadialGradient sun(sunCentre, sunRadius);
    sun.setColorAt(0, QColor(255, 250, 220));
    sun.setColorAt(0.4, QColor(255, 220, 120, 220));
    sun.setColorAt(1, QColor(255, 200, 100, 0));
    p.save();
    p.resetTransform();
    p.setBrush(sun);
    p.drawEllipse(sunCentre, sunRadius, sunRadius);
    p.restore();

    for (int layer = 0; layer < 3; ++layer) {
        const double base = 0.45 + 0.15 * layer + 0.05 * rng.unit();
        const double a1 = 0.03 + 0.05 * rng.unit(), f1 = 2 + 5 * rng.unit(), ph1 = 6.28 * rng.unit();
        const double a2 = 0.01 + 0.03 * rng.unit(), f2 = 9 + 12 * rng.unit(), ph2 = 6.28 * rng.unit();
        QPainterPath hill(QPointF(0, 1));
        for (int i = 0; i <= 64; ++i) {
            const double x = i / 64.0;
            hill.lineTo(x, base + a1 * std::sin(f1 * x + ph1) + a2 * std::sin(f2 * x + ph2));
        }
        hill.lineTo(1, 1);
        hill.closeSubpath();
        p.setBrush(QColor::fromHsv(80 + rng.bounded(80), 90 + 40 * layer, 160 - 40 * layer));
        p.drawPath(hill);
    }
    for (int i = rng.bounded(6); i > 0; --i) {
        p.setBrush(QColor::fromHsv(rng.bounded(360), 180, 230, 200));
        const double r = 0.02 + 0.03 * rng.unit();
        p.drawEllipse(QPointF(rng.unit(), 0.1 + 0.4 * rng.unit()), r * height / width, r);
    }
    p.end();

    Rng noise(seed ^ 0x5A5A5A5AULL);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const quint64 r = noise.next();
            auto jitter = [&r](int value, int shift) { return std::clamp(value + int((r >> shift) & 15) - 8, 0, 255); };
            line[x] = qRgb(jitter(qRed(line[x]), 0), jitter(qGreen(line[x]), 8), jitter(qBlue(line[x]), 16));
        }
    }
    return image;
}

QByteArray encode(const QImage &image, const QByteArray &format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (format == "jpeg")
        writer.setQuality(85);
    writer.write(image);
    return bytes;
}

} // namespace

QByteArray PhoneGenerator::picture(quint64 seed, int targetKb, QString *mimeType)
{
    const bool jpeg = QImageWriter::supportedImageFormats().contains("jpeg");
    const QByteArray format = jpeg ? QByteArray("jpeg") : QByteArray("png");
    if (mimeType)
        *mimeType = jpeg ? QStringLiteral("image/jpeg") : QStringLiteral("image/png");

    const double target = std::max(1, targetKb) * 1024.0;
    double area = target; // first guess: one pixel per byte, then scale by what the encoder gave
    QByteArray best;
    for (int attempt = 0; attempt < 6; ++attempt) {
        const int width = std::clamp(int(std::sqrt(area * 4 / 3)), 16, 12000);
        const int height = std::max(12, width * 3 / 4);
        const QByteArray bytes = encode(paintLandscape(seed, width, height), format);
        if (best.isEmpty() || std::abs(bytes.size() - target) < std::abs(best.size() - target))
            best = bytes;
        if (std::abs(bytes.size() - target) < target * 0.05 || bytes.isEmpty())
            break;
        area = double(width) * height * target / bytes.size();
    }
    return best;
}

bool PhoneGenerator::generate(const Options &options, const QString &pictureDir, PhoneStore *store, QString *error)
{
    Rng rng(options.seed);
    const QList<Contact> contacts = makeContacts(rng, std::max(1, options.conversations));

    // Which pictures exist; the MMS take turns with them.
    const int pictureCount = options.mmsCount == 0
        ? 0
        : (options.pictureCount > 0 ? options.pictureCount : std::min(options.mmsCount, 24));
    QStringList pictureFiles;
    QString mimeType;
    if (pictureCount > 0 && !QDir().mkpath(pictureDir)) {
        if (error)
            *error = QStringLiteral("Cannot create folder %1").arg(pictureDir);
        return false;
    }
    for (int i = 0; i < pictureCount; ++i) {
        const QByteArray bytes = picture(options.seed * 1000003ULL + quint64(i), options.pictureKb, &mimeType);
        const QString suffix = mimeType == QLatin1String("image/jpeg") ? QStringLiteral("jpg") : QStringLiteral("png");
        const QString path
            = QDir(pictureDir)
                  .filePath(QStringLiteral("picture-%1.%2").arg(i + 1, 3, 10, QLatin1Char('0')).arg(suffix));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            if (error)
                *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
            return false;
        }
        pictureFiles.append(QFileInfo(path).absoluteFilePath());
    }

    // Kinds in a shuffled order; every conversation gets at least one message, the rest
    // lean towards the first conversations like a real phone's favourites.
    const int total = options.smsCount + options.mmsCount;
    QList<bool> isMms(total, false);
    std::fill(isMms.begin() + options.smsCount, isMms.end(), true);
    for (int i = total - 1; i > 0; --i)
        std::swap(isMms[i], isMms[rng.bounded(i + 1)]);

    constexpr qint64 kYearMs = 365LL * 24 * 3600 * 1000;
    QList<PhoneMessage> messages;
    messages.reserve(total);
    for (int i = 0; i < total; ++i) {
        const int c = i < contacts.size() ? i : int(contacts.size() * std::pow(rng.unit(), 2.0));
        const Contact &contact = contacts[c];
        PhoneMessage m;
        m.address = contact.address;
        m.person = contact.person;
        m.date = options.newestDate - qint64(rng.unit() * kYearMs);
        // Short codes only ever send to the phone, never receive from it.
        m.sent = contact.person.isEmpty() && contact.address.size() == 5 ? false : rng.chance(0.45);
        if (isMms[i]) {
            if (rng.chance(0.3))
                m.subject = text(rng.pick(kSubjects));
            m.body = text(rng.pick(kCaptions));
            m.attachments.append({mimeType, QString(), QString()});
        } else {
            m.body = makeBody(rng);
        }
        messages.append(m);
    }
    std::stable_sort(
        messages.begin(), messages.end(), [](const PhoneMessage &a, const PhoneMessage &b) { return a.date < b.date; });

    int mmsIndex = 0;
    for (PhoneMessage &m : messages) {
        if (m.attachments.isEmpty())
            continue;
        PhoneAttachment &a = m.attachments.first();
        a.filePath = pictureFiles[mmsIndex++ % pictureCount];
        a.fileName = QDateTime::fromMSecsSinceEpoch(m.date, Qt::UTC).toString(QStringLiteral("'IMG_'yyyyMMdd_hhmmss"))
            + (a.mimeType == QLatin1String("image/jpeg") ? QStringLiteral(".jpg") : QStringLiteral(".png"));
    }

    PhoneStore result;
    for (const PhoneMessage &m : messages)
        result.append(m);
    result.setAttachmentDir(QFileInfo(pictureDir).absoluteFilePath());
    *store = result;
    return true;
}

PhoneMessage PhoneGenerator::incoming(const PhoneStore &store, quint64 seed, quint64 n)
{
    Rng rng(seed ^ (n * 0xD1B54A32D192ED03ULL) ^ 0x1234567ULL);
    PhoneMessage m;
    const QStringList addresses = store.addresses();
    if (addresses.isEmpty() || rng.chance(0.1)) {
        m.address = makeNumber(rng);
    } else {
        m.address = addresses[rng.bounded(int(addresses.size()))];
        m.person = store.contactName(m.address);
    }
    m.body = makeBody(rng);
    return m;
}
