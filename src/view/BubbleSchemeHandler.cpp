#include "BubbleSchemeHandler.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

const QByteArray BubbleSchemeHandler::scheme = QByteArrayLiteral("parlowick");

namespace {

QWebEngineProfile *bubbleProfile = nullptr;
BubbleSchemeHandler *bubbleHandler = nullptr;

QString bubbleFolder()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/bubble/");
}

// The style sheet's frame pictures, written into it as data URLs: every page would
// otherwise fetch eighteen small files through the handler again.
QByteArray withPicturesInline(QByteArray css, const QString &folder)
{
    static const QRegularExpression picture(QStringLiteral("url\\(([A-Za-z0-9_.-]+\\.png)\\)"));
    const QString text = QString::fromUtf8(css);
    QString result;
    qsizetype last = 0;
    for (const QRegularExpressionMatch &match : picture.globalMatch(text)) {
        QFile file(QDir(folder).filePath(match.captured(1)));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        result += QStringView(text).mid(last, match.capturedStart() - last);
        result += QStringLiteral("url(data:image/png;base64,%1)").arg(QString::fromLatin1(file.readAll().toBase64()));
        last = match.capturedEnd();
    }
    result += QStringView(text).mid(last);
    return result.toUtf8();
}

void replyWith(QWebEngineUrlRequestJob *job, const QByteArray &mimeType, const QByteArray &data)
{
    auto *buffer = new QBuffer(job);
    buffer->setData(data);
    buffer->open(QIODevice::ReadOnly);
    job->reply(mimeType, buffer);
}

} // namespace

void BubbleSchemeHandler::prepareApplication()
{
    registerScheme();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void BubbleSchemeHandler::registerScheme()
{
    QWebEngineUrlScheme bubbleScheme(scheme);
    bubbleScheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    // Pages show thumbnails and link attachments as local files.
    bubbleScheme.setFlags(QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(bubbleScheme);
}

BubbleSchemeHandler *BubbleSchemeHandler::instance()
{
    if (!bubbleHandler) {
        // A profile of the program's own, not the web engine's default one, so the
        // program decides when it ends.
        bubbleProfile = new QWebEngineProfile(QCoreApplication::instance());
        bubbleHandler = new BubbleSchemeHandler(bubbleProfile);
        bubbleProfile->installUrlSchemeHandler(scheme, bubbleHandler);
        // Added after the web engine's own clean-up, so it runs before it.
        qAddPostRoutine(&BubbleSchemeHandler::release);
    }
    return bubbleHandler;
}

QWebEngineProfile *BubbleSchemeHandler::profile()
{
    instance();
    return bubbleProfile;
}

void BubbleSchemeHandler::release()
{
    delete bubbleProfile; // the handler with it
    bubbleProfile = nullptr;
    bubbleHandler = nullptr;
}

BubbleSchemeHandler::BubbleSchemeHandler(QObject *parent)
    : QWebEngineUrlSchemeHandler(parent)
{
}

QUrl BubbleSchemeHandler::publish(quintptr viewId, const QString &html)
{
    // A fresh name each time: the engine never shows a cached older page.
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/page-%1.html").arg(++m_serial);
    m_pages.insert(viewId, {path, html.toUtf8()});
    QUrl url;
    url.setScheme(QString::fromLatin1(scheme));
    url.setPath(path);
    return url;
}

void BubbleSchemeHandler::forget(quintptr viewId)
{
    m_pages.remove(viewId);
}

// Every page asks for the same style sheet and frame pictures: they are read once.
BubbleSchemeHandler::BubbleFile BubbleSchemeHandler::bubbleFile(const QString &path)
{
    auto cached = m_files.constFind(path);
    if (cached != m_files.constEnd())
        return *cached;
    BubbleFile file;
    QFile source(path);
    if (source.open(QIODevice::ReadOnly)) {
        file.data = source.readAll();
        file.mimeType = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name().toUtf8();
        if (path.endsWith(QLatin1String(".css")))
            file.data = withPicturesInline(file.data, QFileInfo(path).absolutePath());
        m_files.insert(path, file);
    }
    return file;
}

void BubbleSchemeHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    const QString path = QDir::cleanPath(job->requestUrl().path());
    for (const Page &page : std::as_const(m_pages)) {
        if (page.path == path) {
            replyWith(job, QByteArrayLiteral("text/html"), page.html);
            return;
        }
    }
    if (path.startsWith(bubbleFolder())) {
        const BubbleFile file = bubbleFile(path);
        if (!file.mimeType.isEmpty()) {
            replyWith(job, file.mimeType, file.data);
            return;
        }
    }
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
}
