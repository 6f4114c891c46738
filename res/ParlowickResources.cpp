#include "ParlowickResources.h"

#include <QtGlobal>

void initParlowickResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(parlowick);
        return true;
    }();
    Q_UNUSED(registered);
}
