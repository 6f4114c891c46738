#include "PhoneStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>

namespace {

const QString kFormat = QStringLiteral("parlowick-phonesim");
constexpr int kVersion = 1;

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

bool isInside(const QString &filePath, const QString &dir)
{
    const QString prefix = QDir::cleanPath(QFileInfo(dir).absoluteFilePath()) + QLatin1Char('/');
    return QDir::cleanPath(QFileInfo(filePath).absoluteFilePath()).startsWith(prefix);
}

// Copies one file into the folder unless a same-named file of the same size is there;
// a different file of that name makes the copy take a numbered name.
QString copyInto(const QString &source, const QDir &folder, QString *error)
{
    const QFileInfo info(source);
    const QString base = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 0;; ++n) {
        const QString name = n == 0 ? info.fileName() : QStringLiteral("%1-%2%3").arg(base).arg(n).arg(suffix);
        const QString target = folder.filePath(name);
        const QFileInfo existing(target);
        if (existing.exists()) {
            if (existing.size() == info.size())
                return target;
            continue;
        }
        if (!QFile::copy(source, target)) {
            setError(error, QStringLiteral("Cannot copy %1 to %2").arg(source, target));
            return {};
        }
        return target;
    }
}

} // namespace

int PhoneStore::mmsCount() const
{
    return int(std::count_if(m_messages.begin(), m_messages.end(), [](const PhoneMessage &m) { return m.isMms(); }));
}

QString PhoneStore::contactName(const QString &address) const
{
    for (auto it = m_messages.crbegin(); it != m_messages.crend(); ++it) {
        if (it->address == address && !it->person.isEmpty())
            return it->person;
    }
    return {};
}

QStringList PhoneStore::addresses() const
{
    QStringList result;
    for (const PhoneMessage &m : m_messages) {
        if (!result.contains(m.address))
            result.append(m.address);
    }
    return result;
}

qint64 PhoneStore::attachmentBytes() const
{
    qint64 total = 0;
    for (const PhoneMessage &m : m_messages) {
        for (const PhoneAttachment &a : m.attachments)
            total += QFileInfo(a.filePath).size();
    }
    return total;
}

QString PhoneStore::attachmentFolderFor(const QString &jsonPath)
{
    const QFileInfo info(jsonPath);
    return info.absoluteDir().filePath(info.completeBaseName() + QStringLiteral(".files"));
}

bool PhoneStore::save(const QString &jsonPath, QString *error) const
{
    const QDir jsonDir = QFileInfo(jsonPath).absoluteDir();
    const QString folderPath = attachmentFolderFor(jsonPath);
    const QDir folder(folderPath);
    bool folderMade = false;
    QHash<QString, QString> copied; // source path -> relative path, so shared files are copied once

    QJsonArray messages;
    for (const PhoneMessage &m : m_messages) {
        QJsonArray attachments;
        for (const PhoneAttachment &a : m.attachments) {
            QString relative = copied.value(a.filePath);
            if (relative.isEmpty()) {
                QString stored = a.filePath;
                if (!isInside(a.filePath, folderPath)) {
                    if (!folderMade && !QDir().mkpath(folderPath)) {
                        setError(error, QStringLiteral("Cannot create folder %1").arg(folderPath));
                        return false;
                    }
                    folderMade = true;
                    stored = copyInto(a.filePath, folder, error);
                    if (stored.isEmpty())
                        return false;
                }
                relative = jsonDir.relativeFilePath(stored);
                copied.insert(a.filePath, relative);
            }
            attachments.append(QJsonObject {{QStringLiteral("mime"), a.mimeType}, {QStringLiteral("name"), a.fileName},
                {QStringLiteral("file"), relative}});
        }
        QJsonObject o {{QStringLiteral("date"), m.date}, {QStringLiteral("sent"), m.sent},
            {QStringLiteral("address"), m.address}, {QStringLiteral("person"), m.person},
            {QStringLiteral("body"), m.body}, {QStringLiteral("subject"), m.subject}};
        if (!attachments.isEmpty())
            o.insert(QStringLiteral("attachments"), attachments);
        messages.append(o);
    }
    const QJsonObject root {{QStringLiteral("format"), kFormat}, {QStringLiteral("version"), kVersion},
        {QStringLiteral("messages"), messages}};

    QSaveFile file(jsonPath);
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, QStringLiteral("Cannot write %1: %2").arg(jsonPath, file.errorString()));
        return false;
    }
    file.write(QJsonDocument(root).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        setError(error, QStringLiteral("Cannot write %1: %2").arg(jsonPath, file.errorString()));
        return false;
    }
    return true;
}

bool PhoneStore::load(const QString &jsonPath, QString *error)
{
    QFile file(jsonPath);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("Cannot read %1: %2").arg(jsonPath, file.errorString()));
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (doc.isNull()) {
        setError(error, QStringLiteral("%1: %2").arg(jsonPath, parseError.errorString()));
        return false;
    }
    const QJsonObject root = doc.object();
    if (root.value(QStringLiteral("format")).toString() != kFormat
        || root.value(QStringLiteral("version")).toInt() != kVersion) {
        setError(error, QStringLiteral("%1 is not a phone simulator store of version %2").arg(jsonPath).arg(kVersion));
        return false;
    }

    const QDir jsonDir = QFileInfo(jsonPath).absoluteDir();
    QList<PhoneMessage> loaded;
    for (const QJsonValue &value : root.value(QStringLiteral("messages")).toArray()) {
        const QJsonObject o = value.toObject();
        PhoneMessage m;
        m.date = o.value(QStringLiteral("date")).toInteger();
        m.sent = o.value(QStringLiteral("sent")).toBool();
        m.address = o.value(QStringLiteral("address")).toString();
        m.person = o.value(QStringLiteral("person")).toString();
        m.body = o.value(QStringLiteral("body")).toString();
        m.subject = o.value(QStringLiteral("subject")).toString();
        for (const QJsonValue &av : o.value(QStringLiteral("attachments")).toArray()) {
            const QJsonObject a = av.toObject();
            const QString path = QDir::cleanPath(jsonDir.absoluteFilePath(a.value(QStringLiteral("file")).toString()));
            if (!QFileInfo(path).isFile()) {
                setError(error, QStringLiteral("%1: attachment file %2 is missing").arg(jsonPath, path));
                return false;
            }
            m.attachments.append(
                {a.value(QStringLiteral("mime")).toString(), a.value(QStringLiteral("name")).toString(), path});
        }
        loaded.append(m);
    }
    m_messages = loaded;
    m_attachmentDir = attachmentFolderFor(jsonPath);
    return true;
}
