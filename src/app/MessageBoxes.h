#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

// The program's modal message boxes, all titled with the product title and
// without a parent window. Every box of the program goes through showMessageBox.
QMessageBox::StandardButton showMessageBox(QMessageBox::Icon icon, const QString &text,
                                           QMessageBox::StandardButtons buttons);
bool askYesNo(const QString &text);
void showWarning(const QString &text);
void showInformation(const QString &text);
void showCritical(const QString &text);
// A failure the program cannot explain otherwise, wrapped in the support text.
void showErrorDialog(const QString &detail);

// Replaces the real boxes, so that tests can read the text and give the answer
// without a modal box. An empty function brings the real boxes back.
using MessageBoxHandler =
    std::function<QMessageBox::StandardButton(QMessageBox::Icon, const QString &, QMessageBox::StandardButtons)>;
void setMessageBoxHandler(MessageBoxHandler handler);
