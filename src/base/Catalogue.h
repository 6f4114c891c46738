#pragma once

#include <QString>

class QCoreApplication;

namespace Catalogue {

// Loads the English catalogue ":/en.qm" and installs it application-wide.
// Returns false when the catalogue could not be loaded (texts then show their sources).
bool install(QCoreApplication &app);

// "Parlowick", through the catalogue.
QString productTitle();

} // namespace Catalogue
