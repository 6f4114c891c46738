#pragma once

#include "PhoneStore.h"

#include <QByteArray>
#include <QString>

// Makes up phone content for demos and tests: the same options always give the same
// messages and the same picture bytes.
class PhoneGenerator
{
public:
    struct Options
    {
        int smsCount = 0;
        int mmsCount = 0;
        int conversations = 1;
        quint64 seed = 1;
        int pictureKb = 100; // approximate size of each picture file
        int pictureCount = 0; // distinct picture files the MMS share; 0: as many as MMS, at most 24
        qint64 newestDate = 1717243200000; // 2024-06-01 12:00 UTC; messages spread over the year before
    };

    // smsCount SMS and mmsCount MMS (each with one picture) across the conversations, sorted
    // by date. The pictures are painted once into pictureDir, which also becomes the store's
    // attachment folder.
    static bool generate(
        const Options &options, const QString &pictureDir, PhoneStore *store, QString *error = nullptr);

    // The n-th made-up incoming message for a store: usually from one of its conversations,
    // sometimes from a new number. Its date is left 0 for the caller to set.
    static PhoneMessage incoming(const PhoneStore &store, quint64 seed, quint64 n);

    // A painted landscape encoded as JPEG (PNG where no JPEG writer is available), close to
    // targetKb kilobytes. *mimeType receives "image/jpeg" or "image/png".
    static QByteArray picture(quint64 seed, int targetKb, QString *mimeType);
};
