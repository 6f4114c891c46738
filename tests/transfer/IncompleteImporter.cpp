// An importer library that lacks getSMS, for the loader's error on a missing entry point.
// It reports the version that PARLOWICK_IMPORTER_VERSION says, so that the same library
// also stands for one built for another version of the program.
#include <QStringList>
#include <QtGlobal>

extern "C" {

Q_DECL_EXPORT int version()
{
    return qEnvironmentVariableIntValue("PARLOWICK_IMPORTER_VERSION");
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
