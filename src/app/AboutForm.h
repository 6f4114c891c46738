#pragma once

#include <QDialog>
#include <QGraphicsScene>

#include <memory>

namespace Ui {
class AboutForm;
}

// The about box: icon, product name and version, and a link to the home page.
class AboutForm : public QDialog
{
    Q_OBJECT

public:
    explicit AboutForm(QWidget *parent = nullptr);
    ~AboutForm() override;

private:
    std::unique_ptr<Ui::AboutForm> m_ui;
    QGraphicsScene m_scene;
};
