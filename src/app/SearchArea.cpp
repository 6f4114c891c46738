#include "SearchArea.h"

#include "ui_SearchArea.h"

#include <QKeyEvent>

SearchArea::SearchArea(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::SearchArea>())
{
    m_ui->setupUi(this);
    setFixedSize(300, 30);
    connect(m_ui->btnNext, &QPushButton::pressed, this, &SearchArea::btnNextPressed);
    connect(m_ui->txtKW, &QLineEdit::returnPressed, this, &SearchArea::btnNextPressed);
    connect(m_ui->btnClose, &QPushButton::pressed, this, &QWidget::hide);
}

SearchArea::~SearchArea() = default;

void SearchArea::focusKeyword()
{
    m_ui->txtKW->setFocus();
}

void SearchArea::btnNextPressed()
{
    emit searchLocalNext(m_ui->txtKW->text());
}

void SearchArea::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}
