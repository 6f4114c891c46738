#include "ProgressForm.h"

#include "MessageBoxes.h"
#include "ui_ProgressForm.h"

ProgressForm::ProgressForm(const QString &title, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::ProgressForm>())
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(348, 76);
    setWindowTitle(title);
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
