// The per-user install and uninstall, run as cmake --install runs them, in a temporary home.
#include <QtTest>

#include <unistd.h>

namespace {

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
    QFile file(path);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) && file.write(content) > 0);
}

} // namespace

class DesktopInstallTest : public QObject
{
    Q_OBJECT

    QTemporaryDir root_;
    // The home folder's name holds what an Exec line must quote.
    const QString home_ = root_.filePath(QStringLiteral("home with $pace \"and\" `quotes` 100%"));

    // The script's exit status (-1 when it crashed) and everything it printed. As root it runs as
    // a user who cannot write the build folder, when that user may read it.
    std::pair<int, QString> run(const char *script)
    {
        QStringList shell{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "/bin/sh"};
        if (geteuid() != 0 || QProcess::execute(shell[0], shell.mid(1, 3) << "test" << "-r" << QUILLO_BUNDLE_DIR))
            shell = QStringList{"/bin/sh"};
        else
            QProcess::execute(QStringLiteral("chown"), {"-R", "65534:65534", root_.path()});
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home_);
        environment.insert(QStringLiteral("PATH"), root_.filePath("bin:") + environment.value(QStringLiteral("PATH")));
        environment.remove(QStringLiteral("XDG_DATA_HOME"));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        const QString program = shell.takeFirst();
        process.start(program, shell << QStringLiteral(QUILLO_DESKTOP_DIR "/") + QLatin1String(script)
                                     << QStringLiteral(QUILLO_BUNDLE_DIR)
                                     << QStringLiteral(QUILLO_DESKTOP_DIR "/dev.quillo.edge.svg"));
        process.waitForFinished(60000);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAll())};
    }

private slots:
    // What was there before, the print service's data included, is never touched; a second
    // install replaces the first, and a file where a folder belongs fails it with a clear
    // message and leaves the earlier install whole.
    void installsAndRemovesExactlyItsFiles()
    {
        const QSet<QString> before{"Applications/Other.app/Contents/Info.plist",
                                   ".local/share/applications/other.desktop", ".local/share/quillo-edge-data/job.pdf"};
        for (const QString &file : before)
            write(QDir(home_).filePath(file));
        for (int round = 0; round < 2; ++round)
            QCOMPARE(run("install-user.sh"),
                     std::pair(0, QStringLiteral("Quillo Edge 已安装到 %1/Applications/Quillo Edge.app\n").arg(home_)));
        const QString entry = QStringLiteral(".local/share/applications/dev.quillo.edge.desktop");
        const QString icon = QStringLiteral(".local/share/icons/hicolor/scalable/apps/dev.quillo.edge.svg");
        const QSet<QString> installed = filesBelow(home_);
        for (const QString &file : installed - before - QSet<QString>{entry, icon})
            QVERIFY2(file.startsWith(QLatin1String("Applications/Quillo Edge.app/Contents/")), qPrintable(file));
        QFile entryFile(QDir(home_).filePath(entry));
        QVERIFY(installed.contains(icon) && entryFile.open(QIODevice::ReadOnly));
        // Quoted as an argument, then escaped as a string value, with "%" doubled:
        // Exec="…/home with \\$pace \\"and\\" \\`quotes\\` 100%%/Applications/…"
        const QString exec
            = QStringLiteral("\nExec=\"%1/home with \\\\$pace \\\\\"and\\\\\" \\\\`quotes\\\\` 100%%/Applications/");
        QVERIFY(QString::fromUtf8(entryFile.readAll())
                    .contains(exec.arg(root_.path()) + "Quillo Edge.app/Contents/MacOS/QuilloEdge\"\n"));
        QCOMPARE(QProcess::execute(QStringLiteral("desktop-file-validate"), {entryFile.fileName()}), 0);

        const QString icons = QFileInfo(QDir(home_).filePath(icon)).path();
        QVERIFY(QDir(icons).removeRecursively());
        write(icons);
        QCOMPARE(run("install-user.sh"),
                 std::pair(1, QStringLiteral("Quillo Edge 安装失败：%1 不是文件夹\n").arg(icons)));
        QCOMPARE(filesBelow(home_),
                 (installed - QSet<QString>{icon}) + QSet<QString>{QDir(home_).relativeFilePath(icons)});
        QVERIFY(QFile::remove(icons));

        // An entry and an icon the user wrote over the installed ones are the user's own and stay.
        for (const QString &file : {entry, icon})
            write(QDir(home_).filePath(file));
        QVERIFY(run("uninstall-user.sh").second.endsWith(QStringLiteral("Quillo Edge 已移除。\n")));
        QCOMPARE(filesBelow(home_), (before + QSet<QString>{entry, icon}));

        // Another install that puts a bundle at the target meanwhile (this mv does) is never moved
        // into, and the earlier bundle, which cannot be put back then, is kept.
        QCOMPARE(run("install-user.sh").first, 0);
        write(root_.filePath("bin/mv"),
              "#!/bin/sh\nfor a; do :; done\ncase $a in *.app) mkdir -p \"$a/x\";; esac\nexec /bin/mv \"$@\"");
        QVERIFY(QFile::setPermissions(root_.filePath("bin/mv"), QFile::ReadOwner | QFile::ExeOwner));
        const auto [status, output] = run("install-user.sh");
        const QString kept = output.section(QStringLiteral("之前安装的应用保留在 "), 1).trimmed();
        QVERIFY2(status == 1 && QFileInfo(kept + "/Contents/MacOS/QuilloEdge").isExecutable(), qPrintable(output));
    }
};

QTEST_GUILESS_MAIN(DesktopInstallTest)
#include "tst_desktop_install.moc"
