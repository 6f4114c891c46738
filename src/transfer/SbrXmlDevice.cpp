#include "SbrXmlDevice.h"

#include "Base64Decoder.h"

#include <QFile>

namespace {

constexpr qint64 kBlockBytes = 256 * 1024;
const QLatin1String kSpoolPrefix("part-");

} // namespace

// Decodes each data value into a file "part-N", N counting from 1; the value becomes N.
class SbrXmlDevice::Spool : public SbrXmlInputFilter::DataSink
{
public:
    explicit Spool(const QDir &folder)
        : m_folder(folder)
    {
    }

    QString pathOf(int number) const { return m_folder.filePath(kSpoolPrefix + QString::number(number)); }
    int count() const { return m_count; }
    const QString &failure() const { return m_failure; }

    QByteArray open() override
    {
        ++m_count;
        m_decoder = Base64Decoder();
        m_file.setFileName(pathOf(m_count));
        if (!m_file.open(QIODevice::WriteOnly) && m_failure.isEmpty())
            m_failure = QStringLiteral("Create %1 error. %2").arg(m_file.fileName(), m_file.errorString());
        return QByteArray::number(m_count);
    }

    void write(QByteArrayView base64) override { save(m_decoder.decode(base64)); }

    void close() override
    {
        save(m_decoder.finish());
        m_file.close();
    }

private:
    void save(const QByteArray &bytes)
    {
        if (bytes.isEmpty() || !m_file.isOpen())
            return;
        if (m_file.write(bytes) != bytes.size() && m_failure.isEmpty())
            m_failure = QStringLiteral("Write %1 error. %2").arg(m_file.fileName(), m_file.errorString());
    }

    QDir m_folder;
    QFile m_file;
    Base64Decoder m_decoder;
    int m_count = 0;
    QString m_failure;
};

SbrXmlDevice::SbrXmlDevice(QIODevice &source, const QDir &spoolFolder)
    : m_source(source)
    , m_spool(std::make_unique<Spool>(spoolFolder))
    , m_filter(*m_spool)
{
    QIODevice::open(QIODevice::ReadOnly);
}

SbrXmlDevice::~SbrXmlDevice() = default;

QString SbrXmlDevice::spoolPath(QStringView dataValue) const
{
    bool ok = false;
    const int number = dataValue.toInt(&ok);
    if (!ok || number < 1 || number > m_spool->count())
        return QString();
    return m_spool->pathOf(number);
}

QString SbrXmlDevice::failure() const
{
    return m_sourceFailure.isEmpty() ? m_spool->failure() : m_sourceFailure;
}

qint64 SbrXmlDevice::bytesAvailable() const
{
    const qint64 unread = m_buffer.size() - m_position;
    return unread + QIODevice::bytesAvailable() + (m_sourceDone ? 0 : m_source.bytesAvailable());
}

qint64 SbrXmlDevice::readData(char *data, qint64 maxSize)
{
    // A block that lies wholly inside a data value gives nothing to read: take the next.
    while (m_position >= m_buffer.size()) {
        m_buffer.clear();
        m_position = 0;
        if (!refill())
            return failure().isEmpty() && !m_stopped ? 0 : -1;
    }
    const qint64 count = qMin(maxSize, qint64(m_buffer.size() - m_position));
    memcpy(data, m_buffer.constData() + m_position, size_t(count));
    m_position += count;
    return count;
}

bool SbrXmlDevice::refill()
{
    if (m_sourceDone || m_stopped || !failure().isEmpty())
        return false;
    const QByteArray block = m_source.read(kBlockBytes);
    if (block.isEmpty()) {
        if (!m_source.atEnd()) {
            m_sourceFailure = m_source.errorString();
            return false;
        }
        m_filter.finish(m_buffer);
        m_sourceDone = true;
    } else {
        m_filter.feed(block, m_buffer);
    }
    if (m_hook && !m_hook(m_source.pos()))
        m_stopped = true;
    // A spool file that failed ends the reading at once: the rest would be lost anyway.
    return m_spool->failure().isEmpty();
}
