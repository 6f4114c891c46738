#include "MessageBoxes.h"

#include "Catalogue.h"

#include <QCoreApplication>

namespace {

MessageBoxHandler &handler()
{
    static MessageBoxHandler instance;
    return instance;
}

} // namespace

void setMessageBoxHandler(MessageBoxHandler newHandler)
{
    handler() = std::move(newHandler);
}

QMessageBox::StandardButton showMessageBox(QMessageBox::Icon icon, const QString &text,
                                           QMessageBox::StandardButtons buttons)
{
    if (handler())
        return handler()(icon, text, buttons);

    QMessageBox box(icon, productTitle(), text, QMessageBox::NoButton);
    for (const QMessageBox::StandardButton button : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Ok,
                                                     QMessageBox::Cancel}) {
        if (buttons.testFlag(button))
            box.addButton(button);
    }
    box.exec();
    return box.standardButton(box.clickedButton());
}

bool askYesNo(const QString &text)
{
    return showMessageBox(QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void showWarning(const QString &text)
{
    showMessageBox(QMessageBox::Warning, text, QMessageBox::Ok);
}

void showInformation(const QString &text)
{
    showMessageBox(QMessageBox::Information, text, QMessageBox::Ok);
}

void showCritical(const QString &text)
{
    showMessageBox(QMessageBox::Critical, text, QMessageBox::Ok);
}

void showErrorDialog(const QString &detail)
{
    showCritical(QCoreApplication::translate("QObject", "IDS_ERROR_OCCUR_DESC_%1").arg(detail));
}
