// The real program updates itself: a signed 1.0.0 in a temporary home's ~/Applications follows a
// feed on loopback, "立即更新" is pressed through the keyboard under X, and a signed 1.1.0 must
// take its place and start. Broken releases must leave 1.0.0 in place and running.

#include "Fixtures.h"
#include "LocalHttpsServer.h"
#include "service/ServiceStatus.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>

namespace {

const QString feedFolder = QStringLiteral(QUILLO_FEED_FOLDER);
const QString appName = QStringLiteral("Quillo Edge.app");
// Tab presses from a newly shown main window to "立即更新" when only the manager has an update.
const int tabsToUpdateNow = 4;

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// A shell script with arguments $1...; its standard output, or nothing when it failed.
std::optional<QByteArray> shell(const QString &script, const QStringList &arguments = {})
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("/bin/sh"), QStringList{"-ec", script, "sh"} + arguments);
    const bool ok = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
    return ok ? std::optional(process.readAllStandardOutput()) : std::nullopt;
}

// Makes $1 a copy of the built bundle that runs the test build as version $2 ($3), signed with $4.
const QString makeBundle = QStringLiteral(R"(
    cp -a "$BUILT" "$1" && cp "$PROGRAM" "$1/Contents/MacOS/QuilloEdge"
    sed -i -e "/>CFBundleShortVersionString</{n;s|>[^<]*<|>$2<|}" -e "/>CFBundleVersion</{n;s|>[^<]*<|>$3<|}" \
        "$1/Contents/Info.plist"
    chmod -R go-w "$1" && "$SIGNER" "$1" "$4" >/dev/null)");

// Releases whose archive is not to be trusted, made from a signed 1.1.0 at $1 into the archive $2.
const char *const byteChanged = R"(f="$1/Contents/Resources/Installer/install.sh"; chmod u+w "$f"
    printf X | dd of="$f" bs=1 seek=100 conv=notrunc 2>/dev/null; tar -C "$1/.." -cJf "$2" "Quillo Edge.app")";
const char *const otherKey = R"(openssl genpkey -algorithm ed25519 -out "$1/../other.pem"
    "$SIGNER" "$1" "$1/../other.pem" >/dev/null; tar -C "$1/.." -cJf "$2" "Quillo Edge.app")";
const char *const fileAdded = R"(chmod u+w "$1/Contents"; echo extra >"$1/Contents/extra"
    tar -C "$1/.." -cJf "$2" "Quillo Edge.app")";
const char *const parentEntry = R"(echo out >"$1/../outside"
    tar -C "$1/.." -cJPf "$2" "Quillo Edge.app" "Quillo Edge.app/../outside")";
const char *const linkOut = R"(chmod u+w "$1/Contents"; ln -s ../../.. "$1/Contents/up"
    tar -C "$1/.." -cJf "$2" "Quillo Edge.app")";

} // namespace

class TestSelfUpdate : public QObject
{
    Q_OBJECT

    TestCertificate certificate_;
    LocalHttpsServer feed_{certificate_};
    QTemporaryDir root_;
    QString home_ = root_.filePath(QStringLiteral("home"));
    QString applications_ = home_ + QStringLiteral("/Applications");
    QString log_ = home_ + QStringLiteral("/Library/Logs/Quillo Edge/updater.log");
    QString updates_ = home_ + QStringLiteral("/.cache/Quillo Updates");
    QProcess manager_;
    qint64 managerPid_ = 0;

    QString path(const QString &name) const { return root_.filePath(name); }
    QStringList logLines() const { return QString::fromUtf8(readFile(log_)).split(u'\n', Qt::SkipEmptyParts); }
    QString installedVersion() const
    {
        const QString info = QString::fromUtf8(readFile(applications_ + u'/' + appName + "/Contents/Info.plist"));
        static const QRegularExpression version(QStringLiteral("CFBundleShortVersionString</key>\\s*<string>([^<]*)<"));
        return version.match(info).captured(1);
    }

    // Announces the archive as release 1.1.0 (2) on the feed.
    void release(const QString &archive)
    {
        const QString name = QStringLiteral("Quillo-Edge-1.1.0-linux-x86_64.tar.xz");
        const QByteArray content = readFile(archive);
        ScriptedResponse file;
        file.bodyFile = archive;
        feed_.route("/r/" + name, file);
        feed_.route(QStringLiteral("/quillo/releases/linux/latest/manifest.json"), ScriptedResponse::ok(
            R"({"schemaVersion": 1, "component": "linux", "version": "1.1.0", "buildNumber": 2,
                "releasedAt": "2026-12-01T00:00:00Z", "artifacts": [{"name": ")" + name.toUtf8() + R"(", "size": )"
            + QByteArray::number(content.size()) + R"(, "sha256": ")"
            + QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex() + R"(", "url": ")"
            + feed_.url("/r/" + name).toEncoded() + R"("}]})"));
    }

    // The visible window of a process, once it shows. Asked for at a calm pace: a display that
    // many clients connect to at once turns a starting program away.
    static QByteArray windowOf(qint64 pid)
    {
        return shell(QStringLiteral(R"(for i in $(seq 60); do
            w=$(xdotool search --onlyvisible --pid $1 2>/dev/null | head -n 1); [ -z "$w" ] || exec echo $w; sleep 0.5
            done)"), {QString::number(pid)}).value_or(QByteArray()).trimmed();
    }

    // Starts 1.0.0 and presses "立即更新", reached by the keyboard once the check found 1.1.0. On a
    // busy machine the button may not be enabled yet when the keys arrive, so the Tab stops differ:
    // until the archive is asked for, the manager is started again and given longer to settle.
    void pressUpdateNow()
    {
        const auto archiveRequests = [this] {
            return std::count_if(feed_.requests().cbegin(), feed_.requests().cend(),
                                 [](const RecordedRequest &request) { return request.target.startsWith("/r/"); });
        };
        const auto asked = archiveRequests();
        for (int pause : {1000, 4000, 10000}) {
            const qsizetype requestsBefore = feed_.requests().size();
            manager_.start(applications_ + u'/' + appName + "/Contents/MacOS/QuilloEdge");
            QVERIFY(manager_.waitForStarted());
            managerPid_ = manager_.processId();
            const QByteArray window = windowOf(managerPid_);
            QVERIFY(!window.isEmpty());
            QVERIFY(QTest::qWaitFor([&] { return feed_.requests().size() >= requestsBefore + 2; }, 20000));
            // Nothing is installed, so no page is wanted and nothing of the web engine is loaded.
            QFile maps(QStringLiteral("/proc/%1/maps").arg(managerPid_));
            QVERIFY(maps.open(QIODevice::ReadOnly) && !maps.readAll().contains("WebEngine"));
            QTest::qWait(pause);
            QVERIFY(shell(QStringLiteral("xdotool windowfocus --sync $1 && sleep 0.3 && xdotool key --delay 100 $2 space"),
                          {QString::fromLatin1(window), QStringLiteral("Tab ").repeated(tabsToUpdateNow).trimmed()}));
            if (QTest::qWaitFor([&] { return archiveRequests() > asked; }, 15000))
                return;
            manager_.kill();
            manager_.waitForFinished();
        }
        QFAIL("the update was never started");
    }

    // Everything started from the temporary folder: managers and the updater's copy.
    void endPrograms()
    {
        for (int round = 0; round < 2; ++round) {
            for (const QString &pid : QDir(QStringLiteral("/proc")).entryList({"[0-9]*"}, QDir::Dirs)) {
                if (QFileInfo("/proc/" + pid + "/exe").symLinkTarget().startsWith(root_.path()))
                    ::kill(pid.toInt(), SIGKILL);
            }
            QTest::qWait(300);
        }
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display (xvfb-run)");
        QVERIFY2(certificate_.isValid() && feed_.isListening(), qPrintable(certificate_.error()));
        QVERIFY(QDir(feedFolder).removeRecursively() && QDir().mkpath(feedFolder) && QDir().mkpath(applications_)
                && QDir().mkpath(path("run"))
                && QFile::setPermissions(path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(writeFile(feedFolder + "/base-url", feed_.url(QString()).toEncoded())
                && QFile::copy(certificate_.certificatePath(), feedFolder + "/certificate.pem"));
        qputenv("BUILT", QUILLO_TEST_BUNDLE);
        qputenv("PROGRAM", QUILLO_TEST_PROGRAM);
        qputenv("SIGNER", QUILLO_TEST_SIGNER);
        qputenv("XZ_OPT", "-0 -T2");
        QVERIFY(shell(makeBundle, {applications_ + u'/' + appName, "1.0.0", "1", QUILLO_TEST_KEY}));
        QVERIFY(QDir().mkpath(path("new")));
        QVERIFY(shell(makeBundle, {path("new/") + appName, "1.1.0", "2", QUILLO_TEST_KEY}));
        QVERIFY(shell(QStringLiteral(R"(tar -C "$1" -cJf "$2" "Quillo Edge.app")"),
                      {path("new"), path("good.tar.xz")}));

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_QPA_PLATFORM", "XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            environment.remove(QString::fromLatin1(name));
        environment.insert("HOME", home_);
        environment.insert("XDG_RUNTIME_DIR", path("run"));
        // The print service is played by the scripted installer: nothing is installed.
        environment.insert("QUILLO_MANAGER_INSTALLER", fixturePath("installer-scripted.sh"));
        environment.insert("QUILLO_FIXTURE_STATE", path("run"));
        manager_.setProcessEnvironment(environment);
        manager_.setProcessChannelMode(QProcess::ForwardedChannels);
        const QByteArray status = QJsonDocument(ServiceStatus().toJson()).toJson(QJsonDocument::Compact);
        QVERIFY(writeFile(path("run/status.stdout"), status));
        feed_.route(QStringLiteral("/quillo/releases/edge-server/latest/manifest.json"), ScriptedResponse::ok(
            "{\"schemaVersion\": 1, \"component\": \"edge-server\", \"version\": \"0.0.1\", \"releasedAt\": "
            "\"2026-12-01T00:00:00Z\", \"artifacts\": [{\"name\": \"s.tar.gz\", \"size\": 1, \"sha256\": \""
            + QByteArray(64, '0') + "\", \"url\": \"https://127.0.0.1/s.tar.gz\"}]}"));
    }

    void init() { QFile::remove(log_); }

    void cleanup()
    {
        endPrograms();
        manager_.waitForFinished(1000);
    }

    void cleanupTestCase()
    {
        endPrograms();
        QDir(feedFolder).removeRecursively();
    }

    void untrustedReleaseLeavesTheOldVersionRunning_data()
    {
        QTest::addColumn<QString>("spoil");
        QTest::addColumn<QString>("message");
        const QString changed = QStringLiteral("Updater error: 执行 quillo-signature 失败：");
        QTest::newRow("one byte changed") << byteChanged << changed;
        QTest::newRow("signed by another key") << otherKey
                                               << "Updater error: App 安全校验失败：开发者身份不匹配";
        QTest::newRow("file added after signing") << fileAdded << changed;
        QTest::newRow("../ entry") << parentEntry << "Updater error: 执行 quillo-image 失败：";
        QTest::newRow("link out of the tree") << linkOut << "Updater error: 执行 quillo-image 失败：";
    }

    void untrustedReleaseLeavesTheOldVersionRunning()
    {
        QFETCH(QString, spoil);
        QFETCH(QString, message);
        const QString spoiled = path(QTest::currentDataTag()) + u'/' + appName;
        QVERIFY(QDir().mkpath(spoiled));
        QVERIFY(shell(QStringLiteral(R"(cp -a "$1/." "$2")"), {path("new/") + appName, spoiled}));
        QVERIFY(shell(spoil, {spoiled, path("spoiled.tar.xz")}));
        release(path("spoiled.tar.xz"));
        pressUpdateNow();
        QVERIFY(!QTest::currentTestFailed());

        QVERIFY2(QTest::qWaitFor([&] { return !logLines().filter(message).isEmpty(); }, 30000),
                 qPrintable(logLines().join(u'\n')));
        QVERIFY(logLines().filter("Waiting for manager process").isEmpty());
        QTest::qWait(500);
        QCOMPARE(manager_.state(), QProcess::Running);
        QCOMPARE(installedVersion(), u"1.0.0");
        QCOMPARE(entries(updates_), QStringList());
    }

    void updatesItselfToTheSignedRelease()
    {
        release(path("good.tar.xz"));
        pressUpdateNow();
        QVERIFY(!QTest::currentTestFailed());
        QElapsedTimer clock;
        clock.start();
        // When each step was first seen: download and check, preparation, the hand-over, the new window.
        QStringList marks{"Preparing manager update 1.1.0 (2)", "Manager update is staged and verified",
                          "Waiting for manager process "};
        QList<qint64> seen;
        QVERIFY(QTest::qWaitFor([&] {
            const QStringList lines = logLines();
            while (seen.size() < marks.size() && !lines.filter(marks[seen.size()]).isEmpty())
                seen.append(clock.elapsed());
            return seen.size() == marks.size() || !logLines().filter("error").isEmpty();
        }, 60000));
        QVERIFY2(QTest::qWaitFor([&] { return manager_.state() == QProcess::NotRunning; }, 10000), "1.0.0 runs on");
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(feedFolder + "/started-1.1.0"); }, 30000));
        QVERIFY(!windowOf(readFile(feedFolder + "/started-1.1.0").toLongLong()).isEmpty());
        qInfo("download and check %lld ms, prepare %lld ms, install until the new window %lld ms, in all %lld ms",
              seen[0], seen[1] - seen[0], clock.elapsed() - seen[1], clock.elapsed());

        QVERIFY(QTest::qWaitFor([&] { return logLines().size() == 4; }, 10000));
        const QRegularExpression line(QStringLiteral(R"(^\[\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ\] (.*)$)"));
        QStringList messages;
        for (const QString &text : logLines())
            messages.append(line.match(text).captured(1));
        QCOMPARE(messages, QStringList({marks[0], marks[1], marks[2] + QString::number(managerPid_) + " to exit",
                                        "Manager update installed successfully"}));
        QCOMPARE(installedVersion(), u"1.1.0");
        QCOMPARE(entries(applications_), QStringList{appName});
        QCOMPARE(entries(updates_), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestSelfUpdate)
#include "tst_self_update.moc"
