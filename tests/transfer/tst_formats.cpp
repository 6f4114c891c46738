// The export formats' table against what is written apart from it: the filter texts, the
// manual page and the shell's completion must name exactly the table's formats.

#include "ExportFormat.h"
#include "TestConfig.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

class TestFormats : public QObject
{
    Q_OBJECT

private slots:
    void filterNamesItsExtension();
    void manualNamesEachFormat();
    void completionOffersEachFormat();
};

namespace {

QStringList tableNames()
{
    QStringList names;
    for (const ExportFormatInfo &info : exportFormats())
        names.append(QLatin1String(info.name));
    return names;
}

} // namespace

void TestFormats::filterNamesItsExtension()
{
    // A row pasted from another must not offer one extension and write another.
    for (const ExportFormatInfo &info : exportFormats()) {
        const QString filter = QLatin1String(info.filter);
        QVERIFY2(filter.endsWith(QStringLiteral("(*%1)").arg(QLatin1String(info.extension))), info.name);
        QCOMPARE(bool(info.writer), info.format != ExportFormat::None);
    }
}

void TestFormats::manualNamesEachFormat()
{
    QFile page(QStringLiteral(PARLOWICK_SOURCE_DIR "/packaging/man/parlowick-cli.1"));
    QVERIFY(page.open(QIODevice::ReadOnly | QIODevice::Text));
    // The synopsis gives --format its choices on the next line: ".BR txt | csv | ...".
    const QRegularExpressionMatch choices = QRegularExpression(
        QStringLiteral("^\\.B \\\\-\\\\-format\\n\\.BR (.*)$"), QRegularExpression::MultilineOption)
                                                .match(QString::fromUtf8(page.readAll()));
    QVERIFY(choices.hasMatch());
    QCOMPARE(choices.captured(1).split(QStringLiteral(" | ")), tableNames());
}

void TestFormats::completionOffersEachFormat()
{
    const QString helpers = QStringLiteral("/usr/share/bash-completion/bash_completion");
    if (!QFile::exists(helpers))
        QSKIP("bash-completion is not installed");
    QProcess bash;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The parlowick-cli built beside this test answers the script.
    environment.insert(QStringLiteral("PATH"),
        QCoreApplication::applicationDirPath() + QLatin1Char(':') + environment.value(QStringLiteral("PATH")));
    bash.setProcessEnvironment(environment);
    bash.start(QStringLiteral("bash"),
        {QStringLiteral("-c"),
            QStringLiteral("source \"$1\"; source \"$2\"; COMP_WORDS=(parlowick-cli export phone --format '');"
                           "COMP_CWORD=4; COMP_LINE=\"${COMP_WORDS[*]}\"; COMP_POINT=${#COMP_LINE};"
                           "_parlowick_cli parlowick-cli '' --format; printf '%s\\n' \"${COMPREPLY[@]}\""),
            QStringLiteral("bash"), helpers,
            QStringLiteral(PARLOWICK_SOURCE_DIR "/packaging/completion/parlowick-cli")});
    QVERIFY(bash.waitForFinished(30000));
    QCOMPARE(bash.exitCode(), 0);
    QStringList offered = QString::fromUtf8(bash.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList expected = tableNames();
    offered.sort();
    expected.sort();
    QCOMPARE(offered, expected);
}

QTEST_GUILESS_MAIN(TestFormats)
#include "tst_formats.moc"
