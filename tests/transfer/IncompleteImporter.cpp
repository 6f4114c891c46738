// An importer library that lacks getSMS, for the loader's error on a missing entry point.
#include <QStringList>

extern "C" {

Q_DECL_EXPORT int version()
{
    return 1;
}

Q_DECL_EXPORT void *getFormat(QStringList, QStringList)
{
    return nullptr;
}

Q_DECL_EXPORT bool hasHeader(void *)
{
    return false;
}

Q_DECL_EXPORT void deleteFormat(void *) { }
}
