#include "ProgressForm.h"

#include "MessageBoxes.h"
#include "ui_ProgressForm.h"

#include <QApplication>
#include <QFontMetrics>
#include <QStyle>

ProgressForm::ProgressForm(const QString &title, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::ProgressForm>())
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(widthFor(title), 76);
    setWindowTitle(title);
}

int ProgressForm::widthFor(const QString &title)
{
    // The title bar holds the icon and three buttons beside the title, each about as wide
    // as the bar is high, and a margin at either end.
    const QFontMetrics titleFont(QApplication::font("QMdiSubWindowTitleBar"));
    const int bar = qMax(QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight), titleFont.height() + 8);
    return qMax(348, titleFont.horizontalAdvance(title) + 4 * bar + 2 * 16);
}

ProgressForm::~ProgressForm() = default;

void ProgressForm::attach(ProgressThread &worker)
{
    connectProgress(worker, this);
}

int ProgressForm::run(ProgressThread &worker, const std::function<void()> &onSucceeded)
{
    worker.start(QThread::InheritPriority);
    const int result = exec();
    if (result == QDialog::Accepted && onSucceeded)
        onSucceeded();
    worker.wait();
    return result;
}

void ProgressForm::done(int result)
{
    m_closed = true;
    QDialog::done(result);
}

void ProgressForm::updateProgress(int curProgress, const QString &progressText)
{
    if (m_closed)
        return;
    m_ui->progressBar->setValue(curProgress);
    m_ui->lbProgress->setText(progressText);
}

void ProgressForm::errorOccurred(const QString &text)
{
    if (m_closed)
        return;
    MessageBoxes::showErrorDialog(text);
    reject();
}

void ProgressForm::succeed(const QString &tipsStr)
{
    if (m_closed)
        return;
    if (!tipsStr.isEmpty())
        MessageBoxes::showInformation(tipsStr);
    accept();
}
