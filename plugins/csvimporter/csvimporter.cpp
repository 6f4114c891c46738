// The entry points the program resolves by these plain names. The handle given out by
// getFormat is a recognised layout; the program gives it back through deleteFormat.
#include "OtherPhoneLayouts.h"
#include "transfer/ImporterVersion.h"

#include <QtGlobal>

#include <atomic>

namespace {

std::atomic<int> g_deletedFormats {0};

OtherPhoneLayout *layoutOf(void *format)
{
    return static_cast<OtherPhoneLayout *>(format);
}

} // namespace

extern "C" {

Q_DECL_EXPORT int version()
{
    return ImporterVersion::kCurrent;
}

Q_DECL_EXPORT void *getFormat(QStringList first, QStringList second)
{
    return OtherPhoneLayout::recognise(first, second).release();
}

Q_DECL_EXPORT bool hasHeader(void *format)
{
    return format && layoutOf(format)->hasHeader();
}

// C linkage only for the entry point's plain name: the program that resolves it is C++ too,
// built with the same Qt, so returning a Qt container is safe.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wreturn-type-c-linkage"
#endif
Q_DECL_EXPORT QHash<QString, QVariant> getSMS(void *format, QHash<QString, int> header, QStringList row)
{
    return format ? layoutOf(format)->convert(header, row) : QHash<QString, QVariant>();
}
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

Q_DECL_EXPORT void deleteFormat(void *format)
{
    ++g_deletedFormats;
    delete layoutOf(format);
}

// How many handles came back through deleteFormat since the library was loaded; for tests.
Q_DECL_EXPORT int deletedFormats()
{
    return g_deletedFormats;
}
}
