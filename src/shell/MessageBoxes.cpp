#include "MessageBoxes.h"

#include "Catalogue.h"

#include <QCoreApplication>

namespace MessageBoxes {

namespace {

Handler &handler()
{
    static Handler instance;
    return instance;
}

} // namespace

ScopedHandler::ScopedHandler(Handler newHandler)
    : ScopedOverride(handler(), std::move(newHandler))
{
}

QMessageBox::StandardButton show(QMessageBox::Icon icon, const QString &text, QMessageBox::StandardButtons buttons)
{
    if (handler())
        return handler()(icon, text, buttons);

    QMessageBox box(icon, Catalogue::productTitle(), text, QMessageBox::NoButton);
    for (const QMessageBox::StandardButton button :
        {QMessageBox::Yes, QMessageBox::No, QMessageBox::Ok, QMessageBox::Cancel}) {
        if (buttons.testFlag(button))
            box.addButton(button);
    }
    box.exec();
    return box.standardButton(box.clickedButton());
}

bool askYesNo(const QString &text)
{
    return show(QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void showWarning(const QString &text)
{
    show(QMessageBox::Warning, text, QMessageBox::Ok);
}

void showInformation(const QString &text)
{
    show(QMessageBox::Information, text, QMessageBox::Ok);
}

void showCritical(const QString &text)
{
    show(QMessageBox::Critical, text, QMessageBox::Ok);
}

void showErrorDialog(const QString &detail)
{
    MessageBoxes::showCritical(QCoreApplication::translate("QObject", "IDS_ERROR_OCCUR_DESC_%1").arg(detail));
}

bool runOrReport(const std::function<void()> &work)
{
    try {
        work();
        return true;
    } catch (const std::exception &e) {
        MessageBoxes::showErrorDialog(QString::fromUtf8(e.what()));
    } catch (...) {
        MessageBoxes::showErrorDialog(QStringLiteral("Unknown failure."));
    }
    return false;
}

} // namespace MessageBoxes
