#include "LoginAutostart.h"

#include "Catalogue.h"
#include "CheckedSaveFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <stdexcept>

// The autostart folder is an XDG convention, followed by the Linux and BSD desktops. On
// Windows the program would need a Run key or a Startup-folder shortcut instead, which it
// does not make: there the functions are compiled out and the dialog greys the choice.
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
#define PARLOWICK_XDG_AUTOSTART 1
#else
#define PARLOWICK_XDG_AUTOSTART 0
#endif

bool LoginAutostart::isSupported()
{
    return PARLOWICK_XDG_AUTOSTART;
}

QString LoginAutostart::entryPath()
{
    // QStandardPaths honours XDG_CONFIG_HOME and falls back to ~/.config.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/org.parlowick.Parlowick.desktop");
}

bool LoginAutostart::isEnabled()
{
    return isSupported() && QFileInfo::exists(entryPath());
}

QStringList LoginAutostart::startOptions(const QString &account)
{
    return {QStringLiteral("--account"), account, QStringLiteral("--hidden")};
}

QString LoginAutostart::execArgument(const QString &argument)
{
    // Field codes start with %, so a literal one is doubled, quoted or not.
    QString text = argument;
    text.replace(QLatin1Char('%'), QStringLiteral("%%"));
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./+,@=:-]+$"));
    if (plain.match(argument).hasMatch())
        return text;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : std::as_const(text)) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted += QLatin1Char('"');
    // The key's value is itself a string whose backslashes are escaped.
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return quoted;
}

QString LoginAutostart::entryText(const QString &program, const QString &account)
{
    QStringList exec {execArgument(program)};
    for (const QString &option : startOptions(account))
        exec.append(execArgument(option));
    QString name = Catalogue::productTitle();
    name.remove(QLatin1Char('\n'));
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=%1\n"
                          "Comment=Backs up the phone's messages automatically\n"
                          "Exec=%2\n"
                          "Icon=parlowick\n"
                          "Terminal=false\n"
                          "NoDisplay=true\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(name, exec.join(QLatin1Char(' ')));
}

void LoginAutostart::enable(const QString &account)
{
    if (!isSupported())
        return;
    const QString path = entryPath();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        throw std::runtime_error(QCoreApplication::translate("LoginAutostart", "The folder %1 cannot be created.")
                                     .arg(folder)
                                     .toStdString());
    }
    CheckedSaveFile file(path);
    file.openForWriting();
    file.write(entryText(QCoreApplication::applicationFilePath(), account).toUtf8());
    file.commitChecked();
}

void LoginAutostart::disable()
{
    if (!isSupported())
        return;
    QFile file(entryPath());
    if (file.exists() && !file.remove()) {
        throw std::runtime_error(QCoreApplication::translate("LoginAutostart", "%1 cannot be removed: %2")
                                     .arg(QDir::toNativeSeparators(file.fileName()), file.errorString())
                                     .toStdString());
    }
}
