#pragma once

#include <QMessageBox>
#include <QString>

#include "ScopedOverride.h"

#include <functional>

// The program's modal message boxes, all titled with the product title and without a
// parent window. Every box of the program goes through show().
namespace MessageBoxes {

QMessageBox::StandardButton show(QMessageBox::Icon icon, const QString &text, QMessageBox::StandardButtons buttons);
bool askYesNo(const QString &text);
void showWarning(const QString &text);
void showInformation(const QString &text);
void showCritical(const QString &text);
// A failure the program cannot explain otherwise, wrapped in the support text.
void showErrorDialog(const QString &detail);

// Runs a command's work and shows whatever it throws in the error dialog, so no failure
// leaves a slot or an event loop. Returns false when the work failed.
bool runOrReport(const std::function<void()> &work);

using Handler
    = std::function<QMessageBox::StandardButton(QMessageBox::Icon, const QString &, QMessageBox::StandardButtons)>;

// Replaces the real boxes while it lives, so tests can read the text and give the answer
// without a modal box; the previous handler (or the real boxes) comes back at the end.
class ScopedHandler : public ScopedOverride<Handler>
{
public:
    explicit ScopedHandler(Handler handler);
};

} // namespace MessageBoxes
