// The per-user install and uninstall, run as cmake --install runs them, in a temporary home.
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int exitCode = -1;
    QString output;
};

QSet<QString> filesBelow(const QString &folder)
{
    QSet<QString> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.insert(QDir(folder).relativeFilePath(it.next()));
    return files;
}

void write(const QString &path, const QByteArray &content = "x")
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
}

// The program an Exec value names: string escapes first, then the quoting of arguments, then
// the field codes ("%%" is a percent sign).
QString execProgram(const QString &entry)
{
    QString value;
    for (const QString &line : entry.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("Exec=")))
            value = line.mid(5);
    }
    value.replace(QLatin1String("\\\\"), QLatin1String("\\"));
    if (value.size() < 2 || !value.startsWith(QLatin1Char('"')) || !value.endsWith(QLatin1Char('"')))
        return {};
    QString program;
    for (qsizetype i = 1; i + 1 < value.size(); ++i) {
        if (value[i] == QLatin1Char('\\'))
            ++i;
        program += value[i];
    }
    return program.replace(QLatin1String("%%"), QLatin1String("%"));
}

} // namespace

class DesktopInstallTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir root_;
    // The home folder's name holds what an Exec line must quote.
    QString home_;

    Run run(const char *script)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home_);
        environment.remove(QStringLiteral("XDG_DATA_HOME"));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral("/bin/sh"), {QStringLiteral(QUILLO_DESKTOP_DIR "/") + QLatin1String(script),
                                                  QStringLiteral(QUILLO_BUNDLE_DIR),
                                                  QStringLiteral(QUILLO_DESKTOP_DIR "/dev.quillo.edge.svg")});
        process.waitForFinished(60000);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAll())};
    }
    QString entryPath() const { return home_ + QStringLiteral("/.local/share/applications/dev.quillo.edge.desktop"); }
    QString program() const { return home_ + QStringLiteral("/Applications/Quillo Edge.app/Contents/MacOS/QuilloEdge"); }

private slots:
    void init()
    {
        home_ = root_.filePath(QStringLiteral("home with $pace \"and\" `quotes` 100%"));
        QDir(home_).removeRecursively();
        QVERIFY(QDir().mkpath(home_));
    }

    void placesExactlyItsFilesAndRemovesExactlyThose()
    {
        // What was there before, the print service's data included, is never touched.
        const QStringList before{"Applications/Other.app/Contents/Info.plist", ".local/share/applications/other.desktop",
                                 ".local/share/quillo-edge-data/job.pdf"};
        for (const QString &file : before)
            write(QDir(home_).filePath(file));

        for (int round = 0; round < 2; ++round) { // a second install replaces the first
            const Run install = run("install-user.sh");
            QVERIFY2(install.exitCode == 0, qPrintable(install.output));
        }
        QSet<QString> added = filesBelow(home_) - QSet<QString>(before.begin(), before.end());
        QVERIFY(added.remove(QStringLiteral(".local/share/applications/dev.quillo.edge.desktop")));
        QVERIFY(added.remove(QStringLiteral(".local/share/icons/hicolor/scalable/apps/dev.quillo.edge.svg")));
        for (const QString &file : added)
            QVERIFY2(file.startsWith(QLatin1String("Applications/Quillo Edge.app/Contents/")), qPrintable(file));
        QVERIFY(QFileInfo(program()).isExecutable());

        QFile entry(entryPath());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        QCOMPARE(execProgram(QString::fromUtf8(entry.readAll())), program());
        QProcess validate;
        validate.start(QStringLiteral("desktop-file-validate"), {entryPath()});
        QVERIFY(validate.waitForFinished(30000));
        QVERIFY2(validate.exitCode() == 0, validate.readAllStandardOutput().constData());

        const Run uninstall = run("uninstall-user.sh");
        QCOMPARE(uninstall.exitCode, 0);
        QCOMPARE(filesBelow(home_), QSet<QString>(before.begin(), before.end()));
        const Run again = run("uninstall-user.sh");
        QCOMPARE(again.exitCode, 0);
        QVERIFY2(again.output.contains(QStringLiteral("未安装")), qPrintable(again.output));
    }

    // A file where a folder belongs fails the install with a clear message, and the earlier
    // install stays whole.
    void aFileInTheWayKeepsTheEarlierInstall()
    {
        QCOMPARE(run("install-user.sh").exitCode, 0);
        const QSet<QString> installed = filesBelow(home_);
        const QString icons = home_ + QStringLiteral("/.local/share/icons/hicolor/scalable/apps");
        QVERIFY(QDir(icons).removeRecursively());
        write(icons);
        const Run install = run("install-user.sh");
        QVERIFY(install.exitCode != 0);
        QVERIFY2(install.output.contains(QStringLiteral("不是文件夹")), qPrintable(install.output));
        QSet<QString> expected = installed;
        expected.remove(QStringLiteral(".local/share/icons/hicolor/scalable/apps/dev.quillo.edge.svg"));
        expected.insert(QStringLiteral(".local/share/icons/hicolor/scalable/apps"));
        QCOMPARE(filesBelow(home_), expected);
    }
};

QTEST_GUILESS_MAIN(DesktopInstallTest)
#include "tst_desktop_install.moc"
