#include "AboutForm.h"

#include "Catalogue.h"
#include "DesktopShell.h"
#include "ProductInfo.h"
#include "ui_AboutForm.h"

AboutForm::AboutForm(QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::AboutForm>())
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());
    setWindowTitle(tr("%1 - About").arg(Catalogue::productTitle()));

    m_scene.addPixmap(QPixmap(QStringLiteral(":/res/main_icon.png")).scaledToHeight(64, Qt::SmoothTransformation));
    m_ui->graphicsView->setScene(&m_scene);
    m_ui->lbProdAndVer->setText(Catalogue::productTitle() + QLatin1Char(' ') + ProductInfo::version());
    // The home page is a section of the help installed with the program: its name, not its path.
    m_ui->lbHomePage->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                                  .arg(ProductInfo::homePage().toString().toHtmlEscaped(),
                                      tr("%1 help").arg(Catalogue::productTitle()).toHtmlEscaped()));

    connect(
        m_ui->lbHomePage, &QLabel::linkActivated, this, [](const QString &link) { DesktopShell::openUrl(QUrl(link)); });
    connect(m_ui->btnOK, &QPushButton::pressed, this, &QDialog::accept);
}

AboutForm::~AboutForm() = default;
