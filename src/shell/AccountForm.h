#pragma once

#include <QDialog>
#include <QDir>
#include <QGraphicsScene>
#include <QList>

#include <memory>

namespace Ui {
class AccountForm;
}

// Chooses, creates or deletes the account to open; accepted once a store is open. The
// account entered last comes chosen; deleting is offered only while an account exists.
class AccountForm : public QDialog
{
    Q_OBJECT

public:
    explicit AccountForm(QWidget *parent = nullptr);
    ~AccountForm() override;

private slots:
    void onBtnEnterClicked();
    void onDeleteAccountClicked(const QString &link);

private:
    void reloadAccounts();
    void offerDelete(bool offered);
    // Shows the error dialog and returns false when the account cannot be created.
    bool tryCreateAccount(const QString &name);
    bool tryOpenAccount(const QString &name);

    std::unique_ptr<Ui::AccountForm> m_ui;
    QGraphicsScene m_scene;
    QList<QDir> m_accounts;
    QString m_deleteLink; // the link's text as the form gives it
};
