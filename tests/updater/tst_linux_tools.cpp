#include "FakeBundle.h"
#include "UpdaterEntry.h"
#include "bundle/BundleSignature.h"
#include "linux/LinuxTools.h"

#include <QtTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

// The updater's preparation with the Linux toolset as shipped (the updater's own program called by each tool's name)
// over signed archives: what is unpacked, copied, verified and assessed, and what is refused.
class TestLinuxTools : public QObject
{
    Q_OBJECT

    QTemporaryDir folder_;

    QString path(const QString &name) const { return folder_.filePath(name); }

    // The release archive for a row: a genuine bundle, signed, changed as the row says, packed.
    bool makeArchive(const QString &arrangement)
    {
        const auto writeFile = [](const QString &name, const QByteArray &content) {
            QFile file(name);
            return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
        };
        const QString bundle = path(u"src/Quillo Edge.app"_s);
        const QString program = bundle + u"/Contents/MacOS/QuilloEdge"_s;
        QDir(path(u"src"_s)).removeRecursively();
        if (!FakeBundle::write(bundle, FakeBundle::managerInfo(u"1.1.0"_s, 7)) || !writeFile(program, "program")
            || !QFile::link(u"MacOS/QuilloEdge"_s, bundle + u"/Contents/Launcher"_s))
            return false;
        ::chmod(QFile::encodeName(program).constData(), arrangement == u"group-writable" ? 0775 : 0755);
        const QString key = arrangement == u"another key" ? path(u"other.pem"_s)
                                                           : QStringLiteral(QUILLO_RELEASE_KEY_DIR "/private.pem");
        BundleSignature::sign(bundle, key);
        const QString contents = bundle + u"/Contents/"_s;
        if (arrangement == u"one byte changed")
            writeFile(program, "Program");
        if (arrangement == u"mode changed")
            ::chmod(QFile::encodeName(program).constData(), 0700);
        if (arrangement == u"file added")
            writeFile(contents + u"MacOS/extra"_s, "");
        if (arrangement == u"file added to the signature")
            writeFile(contents + u"_CodeSignature/extra"_s, "");
        if (arrangement == u"link out of the tree")
            QFile::link(u"../../.."_s, contents + u"Resources"_s);
        if (arrangement == u"hard link")
            ::link(QFile::encodeName(program).constData(), QFile::encodeName(contents + u"hard"_s).constData());
        if (arrangement == u"fifo")
            ::mkfifo(QFile::encodeName(contents + u"fifo"_s).constData(), 0600);
        QStringList tar{u"--sort=name"_s, u"-cJPf"_s, path(u"release.tar.xz"_s), u"-C"_s, path(u"src"_s),
                        u"Quillo Edge.app"_s};
        if (arrangement == u"absolute name" || arrangement == u"parent name")
            tar.append(arrangement == u"absolute name" ? path(u"outside"_s) : u"../outside"_s);
        if (arrangement == u"too many entries")  // the top folder over and over
            tar.append({u"--no-recursion"_s, u"-T"_s, path(u"list"_s)});
        writeFile(path(u"list"_s), QByteArray("Quillo Edge.app\n").repeated(20000));
        return writeFile(path(u"outside"_s), "") && QProcess::execute(u"tar"_s, tar) == 0;
    }

private slots:
    void initTestCase()
    {
        if (!QFile::exists(QStringLiteral(QUILLO_RELEASE_KEY_DIR "/private.pem")))
            QSKIP("this build was given its release key; its private part is elsewhere");
        QCOMPARE(QProcess::execute(u"openssl"_s, {u"genpkey"_s, u"-algorithm"_s, u"ed25519"_s, u"-out"_s,
                                                  path(u"other.pem"_s)}),
                 0);
    }

    void prepares_data()
    {
        QTest::addColumn<QString>("arrangement");
        QTest::addColumn<QString>("message");  // empty for success
        const QString unsafe = u"执行 quillo-image 失败：安装包中有不安全的条目："_s;
        const QString changed = u"执行 quillo-signature 失败：文件与签名不符：Contents/"_s;
        QTest::newRow("signed by the build's key") << "" << "";
        QTest::newRow("absolute name") << "absolute name" << unsafe + path(u"outside"_s);
        QTest::newRow("parent name") << "parent name" << unsafe + u"../outside"_s;
        QTest::newRow("link out of the tree")
            << "link out of the tree" << unsafe + u"Quillo Edge.app/Contents/Resources"_s;
        QTest::newRow("hard link") << "hard link" << unsafe + u"Quillo Edge.app/Contents/hard"_s;
        QTest::newRow("fifo") << "fifo" << unsafe + u"Quillo Edge.app/Contents/fifo"_s;
        QTest::newRow("too many entries") << "too many entries" << u"执行 quillo-image 失败：安装包中的文件过多"_s;
        QTest::newRow("one byte changed") << "one byte changed" << changed + u"MacOS/QuilloEdge"_s;
        QTest::newRow("mode changed") << "mode changed" << changed + u"MacOS/QuilloEdge"_s;
        QTest::newRow("file added") << "file added" << changed + u"MacOS/extra"_s;
        QTest::newRow("file added to the signature")
            << "file added to the signature"
            << u"执行 quillo-signature 失败：签名中没有这个文件：Contents/_CodeSignature/extra"_s;
        QTest::newRow("another key") << "another key" << u"App 安全校验失败：开发者身份不匹配"_s;
        QTest::newRow("group-writable")
            << "group-writable" << u"执行 quillo-assess 失败：其他用户可以修改：Contents/MacOS/QuilloEdge"_s;
    }

    void prepares()
    {
        QFETCH(QString, arrangement);
        QFETCH(QString, message);
        QVERIFY(makeArchive(arrangement));
        const QTemporaryDir root;
        UpdaterEnvironment environment;
        environment.homeDirectory = root.filePath(u"home"_s);
        environment.cachesDirectory = root.filePath(u"caches"_s);
        environment.mountPointParent = root.path();
        Toolset &tools = environment.tools = LinuxTools::toolset();
        tools.diskImageTool.path = tools.copier.path = tools.signatureChecker.path = tools.assessor.path
            = QStringLiteral(QUILLO_UPDATER_BINARY);
        const QString staged = environment.cachesDirectory + u"/Quillo Updates/work/Quillo Edge.app"_s;
        QByteArray standardError;
        QBuffer buffer(&standardError);
        buffer.open(QIODevice::WriteOnly);
        const QStringList arguments{u"prepare"_s, u"--dmg"_s,     path(u"release.tar.xz"_s), u"--staged-app"_s, staged,
                                    u"--version"_s, u"1.1.0"_s, u"--build"_s,              u"7"_s};
        QCOMPARE(updaterEntry(arguments, environment, buffer), message.isEmpty() ? 0 : 1);
        QCOMPARE(QString::fromUtf8(standardError), message.isEmpty() ? QString() : message + u'\n');
        // Nothing is left of the image, whatever the outcome.
        QCOMPARE(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList({u"caches"_s, u"home"_s}));
    }
};

QTEST_GUILESS_MAIN(TestLinuxTools)
#include "tst_linux_tools.moc"
