#pragma once

class QCoreApplication;

// Registers the program's resources and installs its catalogue, as start-up does, so
// tests see the texts users see. False when the catalogue does not load.
bool installProgramTexts(QCoreApplication &app);
