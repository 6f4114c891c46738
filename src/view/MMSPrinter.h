#pragma once

#include "SMSInfo.h"
#include "ScopedOverride.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QPrinter;

// Prints messages as chat bubbles: through the print preview, where the user picks the
// printer, or straight into a PDF file.
class MMSPrinter : public QObject
{
    Q_OBJECT

public:
    // Paints the messages given to print() on a printer the preview hands over.
    using PaintCallback = std::function<void(QPrinter *)>;
    // Shows the preview of a set-up printer, painting through the callback.
    using PreviewHandler = std::function<void(QPrinter &, const PaintCallback &)>;

    // Replaces the preview dialog while it lives, so tests can drive the printer without a
    // modal window; the previous handler (or the dialog) comes back at the end.
    class ScopedPreviewHandler : public ScopedOverride<PreviewHandler>
    {
    public:
        explicit ScopedPreviewHandler(PreviewHandler handler);
    };

    explicit MMSPrinter(QObject *parent = nullptr);

    // The title of a printout or PDF of the messages: who they are with, or the open account.
    static QString documentTitle(const QList<SMSInfo> &messages);

    // Keeps the messages and runs the print preview on them until the user closes it. The
    // preview's title says what scope tells ("5 selected messages"), so the user knows
    // what will print before printing it.
    void print(const QList<SMSInfo> &messages, const QString &scope = QString());
    // Throws std::runtime_error when the file cannot be written.
    int printToPdf(const QList<SMSInfo> &messages, const QString &path);

    // Messages painted by the last run.
    int count() const { return m_count; }

public slots:
    void onPaintRequested(QPrinter *printer);

private:
    void runPreview(QPrinter &printer);

    QList<SMSInfo> m_messages;
    QString m_scope;
    int m_count = 0;
};
