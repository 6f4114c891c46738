#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class SearchArea;
}

// The keyword bar that floats over the main window's top right corner.
class SearchArea : public QWidget
{
    Q_OBJECT

public:
    explicit SearchArea(QWidget *parent = nullptr);
    ~SearchArea() override;

    void focusKeyword();

signals:
    // The keyword as typed, blanks included.
    void searchLocalNext(const QString &keyword);

public slots:
    void btnNextPressed();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    std::unique_ptr<Ui::SearchArea> m_ui;
};
