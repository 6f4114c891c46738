#include "ProgramTexts.h"

#include "Catalogue.h"
#include "ParlowickResources.h"

bool installProgramTexts(QCoreApplication &app)
{
    initParlowickResources();
    return Catalogue::install(app);
}
