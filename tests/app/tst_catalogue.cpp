#include "AccountForm.h"
#include "Catalogue.h"
#include "MessageBoxRecorder.h"
#include "MessageBoxes.h"
#include "ParlowickResources.h"
#include "TestConfig.h"
#include "TestDataHome.h"

#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

QString lookUp(const char *context, const char *source)
{
    return QCoreApplication::translate(context, source);
}

// (context, source) pairs of a Qt Linguist file.
QSet<QPair<QString, QString>> catalogueEntries(const QString &tsPath)
{
    QSet<QPair<QString, QString>> entries;
    QFile file(tsPath);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("source"))
            entries.insert({context, xml.readElementText()});
    }
    return entries;
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sourcesShowUntilInstalled();
    void lookUpsAfterInstalling();
    void errorDialogWrapsTheDetail();
    void formsShowEnglish();
    void everyTextOfTheCodeIsInTheCatalogue();
};

void TestCatalogue::initTestCase()
{
    initParlowickResources();
}

void TestCatalogue::sourcesShowUntilInstalled()
{
    QCOMPARE(lookUp("ConnectionForm", "连接"), QStringLiteral("连接"));
    QCOMPARE(lookUp("AccountForm", "IDS_DEL_ACCOUNT_SUC"), QStringLiteral("IDS_DEL_ACCOUNT_SUC"));
    QVERIFY(Catalogue::install(*qApp));
}

void TestCatalogue::lookUpsAfterInstalling()
{
    QCOMPARE(lookUp("ConnectionForm", "连接"), QStringLiteral("Connect"));
    QCOMPARE(lookUp("ConnectionForm", "手机WiFi地址:"), QStringLiteral("WiFi IP:"));
    QCOMPARE(lookUp("AccountForm", "IDS_INVALID_ACCOUNT_NAME"),
        QStringLiteral("Invalid account(can't contain \\ / : * ? \" < > | etc)."));
    QCOMPARE(lookUp("MainWindow", "Backup SMS from Android"), QStringLiteral("Backup SMS && MMS from Android"));
    QCOMPARE(lookUp("MainWindow", "IDS_CAN_NOT_FOUNDSMS_KEYWORD_%0").arg(QStringLiteral("cat")),
        QStringLiteral("Found no SMS/MMS with keyword 'cat'."));
    QCOMPARE(lookUp("LocalPreviewCSVThread", "IDS_IMPORT_CSV_PREVIEW_SUC_%1_INVALID_%2").arg(5).arg(2),
        QStringLiteral("Successfully load 5 SMS. Found 2 invalid SMS."));
    QCOMPARE(lookUp("SyncRestoreThread", "SMS %1:%2, Receiving %3 (%4 KB)")
                 .arg(1)
                 .arg(9)
                 .arg(QStringLiteral("a.jpg"))
                 .arg(12),
        QStringLiteral("SMS(MMS) 1:9, Receiving a.jpg (12 KB)"));
    QCOMPARE(lookUp("ProgressForm", "SMS: 0/0"), QStringLiteral("SMS(MMS): 0/0"));

    // No entry, or an empty one: the source shows, placeholders filled.
    QCOMPARE(lookUp("MainWindow", "Total:%1").arg(7), QStringLiteral("Total:7"));
    QCOMPARE(lookUp("QObject", "Parlowick"), QStringLiteral("Parlowick"));
    QCOMPARE(Catalogue::productTitle(), QStringLiteral("Parlowick"));
    // A key looked up in the wrong context is not translated.
    QCOMPARE(lookUp("MainWindow", "IDS_DEL_ACCOUNT_SUC"), QStringLiteral("IDS_DEL_ACCOUNT_SUC"));

    // Keys shared by contexts.
    QCOMPARE(lookUp("ConversationForm", "IDS_SEND_SMS_SUC"), lookUp("DraftSMSForm", "IDS_SEND_SMS_SUC"));
    QCOMPARE(
        lookUp("LocalRestoreThread", "IDS_RESTORE_SUC_%1").arg(3), QStringLiteral("Successfully import 3 SMS & MMS."));
    QCOMPARE(
        lookUp("SyncRestoreThread", "IDS_RESTORE_SUC_%1").arg(3), QStringLiteral("Successfully import 3 SMS & MMS."));
    for (const char *worker :
        {"SyncRestoreThread", "SyncBackupThread", "LocalBackupThread", "LocalPreviewCSVThread", "LocalRestoreThread"})
        QCOMPARE(lookUp(worker, "SMS %1:%2").arg(2).arg(4), QStringLiteral("SMS(MMS) 2:4"));
}

void TestCatalogue::errorDialogWrapsTheDetail()
{
    MessageBoxRecorder boxes;
    MessageBoxes::showErrorDialog(QStringLiteral("disk full"));
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(boxes.boxes().first().icon, QMessageBox::Critical);
    QCOMPARE(boxes.boxes().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(boxes.texts().first(),
        QStringLiteral("Error occurred. Please contact support@parlowick.example for "
                       "help. Error info:\ndisk full"));
}

void TestCatalogue::formsShowEnglish()
{
    TestDataHome home;
    AccountForm form;
    QCOMPARE(form.findChild<QLabel *>(QStringLiteral("lbAccTips"))->text(),
        QStringLiteral("Select account or enter a new account name for SMS & MMS local database."));
    QCOMPARE(form.findChild<QLabel *>(QStringLiteral("label"))->text(), QStringLiteral("Account:"));
}

void TestCatalogue::everyTextOfTheCodeIsInTheCatalogue()
{
    // lupdate collects every text the code and forms ask for; each must have its entry.
    QTemporaryDir dir;
    const QString extracted = dir.filePath(QStringLiteral("code.ts"));
    QProcess lupdate;
    lupdate.start(QStringLiteral(PARLOWICK_LUPDATE),
        {QStringLiteral("-silent"), QStringLiteral("-no-obsolete"), QStringLiteral(PARLOWICK_SOURCE_DIR "/src"),
            QStringLiteral("-ts"), extracted});
    QVERIFY(lupdate.waitForFinished(120000));
    QCOMPARE(lupdate.exitCode(), 0);

    const auto catalogue = catalogueEntries(QStringLiteral(PARLOWICK_SOURCE_DIR "/res/en.ts"));
    const auto used = catalogueEntries(extracted);
    QVERIFY(used.size() > 10);
    QStringList missing;
    for (const auto &entry : used) {
        if (!catalogue.contains(entry))
            missing.append(entry.first + QStringLiteral(": ") + entry.second);
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
