#include "AutoBackupForm.h"

#include "AutoBackupTray.h"
#include "AutoHistory.h"
#include "Catalogue.h"
#include "ConnectionForm.h"
#include "ConnectionMemory.h"
#include "FileDialogs.h"
#include "LoginAutostart.h"
#include "MessageBoxes.h"
#include "ProductInfo.h"
#include "SyncClient.h"
#include "ui_AutoBackupForm.h"

#include <QFileInfo>
#include <QPushButton>
#include <QStyle>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr int kFolderColumn = 0;
constexpr int kOtherPhoneColumn = 1;
const QString kFolderDialogPurpose = QStringLiteral("autoBackupFolder");

} // namespace

const QList<int> &AutoBackupForm::intervalChoices()
{
    static const QList<int> choices {15 * 60, 30 * 60, 60 * 60, 2 * 60 * 60, 6 * 60 * 60, 24 * 60 * 60};
    return choices;
}

AutoBackupForm::AutoBackupForm(const QDir &accountFolder, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::AutoBackupForm>())
    , m_accountFolder(accountFolder)
{
    m_ui->setupUi(this);
    setWindowTitle(tr("%1 - Automatic Backup").arg(Catalogue::productTitle()));
    m_ui->lbHelp->setText(
        m_ui->lbHelp->text().arg(ProductInfo::helpPage(QStringLiteral("auto-backup")).toString().toHtmlEscaped()));
    const QStringList intervalTexts {
        tr("15 minutes"), tr("30 minutes"), tr("1 hour"), tr("2 hours"), tr("6 hours"), tr("1 day")};
    for (int i = 0; i < intervalChoices().size(); ++i)
        m_ui->cbInterval->addItem(intervalTexts.at(i), intervalChoices().at(i));
    m_ui->twFolders->headerItem()->setToolTip(kOtherPhoneColumn,
        tr("CSV files in the folder come from another phone or program and are read by the other-phone importer."));
    m_ui->twFolders->header()->setStretchLastSection(false);
    m_ui->twFolders->header()->setSectionResizeMode(kFolderColumn, QHeaderView::Stretch);
    m_ui->twFolders->header()->setSectionResizeMode(kOtherPhoneColumn, QHeaderView::ResizeToContents);

    connect(m_ui->btnAddFolder, &QPushButton::clicked, this, &AutoBackupForm::chooseFolder);
    connect(m_ui->btnRemoveFolder, &QPushButton::clicked, this, &AutoBackupForm::removeSelectedFolders);
    connect(m_ui->twFolders, &QTreeWidget::itemSelectionChanged, this,
        [this] { m_ui->btnRemoveFolder->setEnabled(!m_ui->twFolders->selectedItems().isEmpty()); });
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &AutoBackupForm::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &AutoBackupForm::reject);

    const AutoSettings saved = AutoSettings::load(accountFolder);
    showSettings(saved);
    if (!saved.enabled && !saved.hasPhone())
        suggestPhone();
    showTrayChoice();
    showAutostartChoice();
    showHistory();
    m_ui->btnRemoveFolder->setEnabled(false);
    m_ui->cbEnabled->setFocus();
}

AutoBackupForm::~AutoBackupForm() = default;

void AutoBackupForm::showSettings(const AutoSettings &settings)
{
    m_ui->cbEnabled->setChecked(settings.enabled);
    m_ui->txtUsbSerial->setText(settings.usbSerial);
    m_ui->txtWifiHost->setText(settings.wifiHost);
    showInterval(settings.intervalSeconds);
    m_ui->twFolders->clear();
    for (const AutoSettings::Folder &folder : settings.folders)
        addFolderRow(folder);
}

void AutoBackupForm::suggestPhone()
{
    if (const std::shared_ptr<SyncClient> client = SyncClient::current()) {
        if (client->isUsb())
            m_ui->txtUsbSerial->setText(client->device());
        else
            m_ui->txtWifiHost->setText(client->host());
    }
    if (m_ui->txtWifiHost->text().isEmpty())
        m_ui->txtWifiHost->setText(ConnectionMemory::recall(m_accountFolder.dirName()).wifiAddress);
}

void AutoBackupForm::showInterval(int seconds)
{
    int index = m_ui->cbInterval->findData(seconds);
    if (index < 0) {
        // Kept as it was set, in the command line's words, in its place by length.
        index = 0;
        while (index < m_ui->cbInterval->count() && m_ui->cbInterval->itemData(index).toInt() < seconds)
            ++index;
        m_ui->cbInterval->insertItem(index, AutoSettings::formatDuration(seconds), seconds);
    }
    m_ui->cbInterval->setCurrentIndex(index);
}

void AutoBackupForm::addFolderRow(const AutoSettings::Folder &folder)
{
    auto *item = new QTreeWidgetItem(m_ui->twFolders);
    item->setText(kFolderColumn, QDir::toNativeSeparators(folder.path));
    item->setData(kFolderColumn, Qt::UserRole, folder.path);
    item->setToolTip(kFolderColumn, QDir::toNativeSeparators(folder.path));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(kOtherPhoneColumn, folder.otherPhone ? Qt::Checked : Qt::Unchecked);
}

void AutoBackupForm::chooseFolder()
{
    const FileDialogs::Memory memory = FileDialogs::recall(kFolderDialogPurpose);
    const QString chosen = FileDialogs::getExistingDirectory(
        tr("Choose a folder to watch"), memory.folder.isEmpty() ? QDir::homePath() : memory.folder);
    if (chosen.isEmpty())
        return;
    FileDialogs::rememberFolder(kFolderDialogPurpose, chosen);
    const QString folder = QDir::cleanPath(QFileInfo(chosen).absoluteFilePath());
    for (int row = 0; row < m_ui->twFolders->topLevelItemCount(); ++row) {
        QTreeWidgetItem *item = m_ui->twFolders->topLevelItem(row);
        if (item->data(kFolderColumn, Qt::UserRole).toString() == folder) {
            m_ui->twFolders->setCurrentItem(item);
            return;
        }
    }
    addFolderRow({folder, false});
    m_ui->twFolders->setCurrentItem(m_ui->twFolders->topLevelItem(m_ui->twFolders->topLevelItemCount() - 1));
}

void AutoBackupForm::removeSelectedFolders()
{
    qDeleteAll(m_ui->twFolders->selectedItems());
}

void AutoBackupForm::showTrayChoice()
{
    m_ui->cbTray->setChecked(AutoBackupTray::keepsRunning());
    if (!AutoBackupTray::isAvailable()) {
        m_ui->cbTray->setEnabled(false);
        m_ui->cbTray->setToolTip(tr("This desktop has no notification area."));
    }
}

void AutoBackupForm::showAutostartChoice()
{
    m_ui->cbAutostart->setChecked(LoginAutostart::isEnabled());
    if (!LoginAutostart::isSupported()) {
        m_ui->cbAutostart->setEnabled(false);
        m_ui->cbAutostart->setToolTip(tr("Starting at login is not available on this system."));
    } else {
        m_ui->cbAutostart->setToolTip(tr("Opens this account when you log in, in the notification area when the "
                                         "program is kept running there."));
    }
}

void AutoBackupForm::showHistory()
{
    const QList<AutoRunRecord> runs = AutoHistory::read(m_accountFolder, kHistoryRuns);
    m_ui->lwHistory->clear();
    for (auto run = runs.crbegin(); run != runs.crend(); ++run) {
        auto *item = new QListWidgetItem(run->describe(), m_ui->lwHistory);
        // A phone found away is no failure; a failed run stands out.
        if (AutoBackupTray::isFailure(*run))
            item->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
    }
    m_ui->lwHistory->setVisible(!runs.isEmpty());
    m_ui->lbNoHistory->setVisible(runs.isEmpty());
}

AutoSettings AutoBackupForm::settings() const
{
    AutoSettings settings;
    settings.enabled = m_ui->cbEnabled->isChecked();
    settings.usbSerial = m_ui->txtUsbSerial->text().trimmed();
    settings.wifiHost = m_ui->txtWifiHost->text().trimmed();
    settings.intervalSeconds = m_ui->cbInterval->currentData().toInt();
    for (int row = 0; row < m_ui->twFolders->topLevelItemCount(); ++row) {
        const QTreeWidgetItem *item = m_ui->twFolders->topLevelItem(row);
        settings.folders.append(
            {item->data(kFolderColumn, Qt::UserRole).toString(), item->checkState(kOtherPhoneColumn) == Qt::Checked});
    }
    return settings;
}

bool AutoBackupForm::fieldsAreValid()
{
    const AutoSettings wanted = settings();
    if (!wanted.wifiHost.isEmpty() && !ConnectionForm::isWifiAddress(wanted.wifiHost)) {
        MessageBoxes::showWarning(tr("The WiFi address is four numbers separated by dots, such as 192.168.1.20."));
        m_ui->txtWifiHost->setFocus();
        return false;
    }
    if (wanted.enabled && !wanted.hasTrigger()) {
        MessageBoxes::showWarning(
            tr("Give a USB device serial, a WiFi address or a folder to watch, or turn automatic backup off."));
        m_ui->txtWifiHost->setFocus();
        return false;
    }
    return true;
}

bool AutoBackupForm::save()
{
    try {
        settings().save(m_accountFolder);
        if (m_ui->cbTray->isEnabled())
            AutoBackupTray::setKeepsRunning(m_ui->cbTray->isChecked());
        if (m_ui->cbAutostart->isEnabled()) {
            // Written again when on, so it starts this account with this program file.
            if (m_ui->cbAutostart->isChecked())
                LoginAutostart::enable(m_accountFolder.dirName());
            else
                LoginAutostart::disable();
        }
    } catch (const std::exception &e) {
        MessageBoxes::showCritical(
            tr("The automatic backup settings cannot be saved:\n%1").arg(QString::fromUtf8(e.what())));
        return false;
    }
    return true;
}

void AutoBackupForm::accept()
{
    if (fieldsAreValid() && save())
        QDialog::accept();
}
