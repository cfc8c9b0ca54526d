#include "bundle/BundleSignature.h"
#include "FakeBundle.h"
#include "release/ManagerUpdatePolicy.h"

#include <QtTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

QString run(const QString &program, const QStringList &arguments)  // standard output, or "failed"
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitCode() == 0 ? QString::fromUtf8(process.readAll())
                                                                     : u"failed"_s;
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

// The Linux stand-ins for the Mac's signature checker and assessor, and the image tool's safe extraction.
class TestLinuxTools : public QObject
{
    Q_OBJECT

    QTemporaryDir folder_;
    QHash<QString, QString> fingerprints_;  // key file name: its fingerprint, as the openssl command computes it

    QString path(const QString &name) const { return folder_.filePath(name); }

    QString signedBundle(const QString &keyPath, const QString &arrangement)
    {
        const QString bundle = path(u"Quillo Edge.app"_s);
        QDir(bundle).removeRecursively();
        const QString program = bundle + u"/Contents/MacOS/QuilloEdge"_s;
        if (!FakeBundle::write(bundle, FakeBundle::managerInfo(u"1.1.0"_s, 7)) || !writeFile(program, "program")
            || !QFile::link(u"MacOS/QuilloEdge"_s, bundle + u"/Contents/Launcher"_s))
            return {};
        ::chmod(QFile::encodeName(program).constData(), arrangement == u"writable" ? 0770 : 0750);
        BundleSignature::sign(bundle, keyPath);
        if (arrangement == u"byte changed")
            writeFile(program, "Program");
        if (arrangement == u"file added")
            writeFile(bundle + u"/Contents/MacOS/extra"_s, "");
        if (arrangement == u"file added to the signature")
            writeFile(bundle + u"/Contents/_CodeSignature/extra"_s, "");
        if (arrangement == u"mode changed")
            ::chmod(QFile::encodeName(program).constData(), 0700);
        return bundle;
    }

private slots:
    void initTestCase()
    {
        for (const QString &key : {u"key.pem"_s, u"other.pem"_s}) {
            QVERIFY(run(u"openssl"_s, {u"genpkey"_s, u"-algorithm"_s, u"ed25519"_s, u"-out"_s, path(key)}) != u"failed");
            run(u"openssl"_s, {u"pkey"_s, u"-in"_s, path(key), u"-pubout"_s, u"-outform"_s, u"DER"_s, u"-out"_s,
                               path(key + u".der"_s)});
            fingerprints_[key] = run(u"sha256sum"_s, {path(key + u".der"_s)}).left(64);
        }
    }

    // A bundle verifies only as signed, and its signer is the key's fingerprint; the assessment also refuses what
    // others may change.
    void verifiesWhatWasSigned_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("arrangement");
        QTest::addColumn<QString>("verified");  // the signer's key file or the refusal
        QTest::addColumn<QString>("assessed");
        const QString changed = u"文件与签名不符：Contents/MacOS/"_s;
        QTest::newRow("as signed") << "key.pem" << "" << "key.pem" << "";
        QTest::newRow("by the build's own key") << "build" << "" << "team" << "";
        QTest::newRow("signed by another key") << "other.pem" << "" << "other.pem" << "";
        QTest::newRow("one byte changed") << "key.pem" << "byte changed" << changed + u"QuilloEdge"_s << "";
        QTest::newRow("mode changed") << "key.pem" << "mode changed" << changed + u"QuilloEdge"_s << "";
        QTest::newRow("file added") << "key.pem" << "file added" << changed + u"extra"_s << "";
        QTest::newRow("file added to the signature")
            << "key.pem" << "file added to the signature" << u"签名中没有这个文件：Contents/_CodeSignature/extra"_s << "";
        QTest::newRow("group-writable when signed")
            << "key.pem" << "writable" << "key.pem" << u"其他用户可以修改：Contents/MacOS/QuilloEdge"_s;
    }

    void verifiesWhatWasSigned()
    {
        QFETCH(QString, key);
        QFETCH(QString, arrangement);
        QFETCH(QString, verified);
        QFETCH(QString, assessed);
        const QString keyPath = key == u"build" ? QStringLiteral(QUILLO_RELEASE_KEY_DIR "/private.pem") : path(key);
        if (!QFile::exists(keyPath))
            QSKIP("this build was given its release key");
        const QString bundle = signedBundle(keyPath, arrangement);
        QVERIFY(!bundle.isEmpty());
        const auto outcome = [&](QString (*check)(const QString &)) {
            try {
                const QString signer = check(bundle);
                return signer == ManagerUpdatePolicy::teamIdentifier ? u"team"_s : fingerprints_.key(signer, signer);
            } catch (const UserFacingError &error) {
                return error.errorDescription();
            }
        };
        QCOMPARE(outcome(BundleSignature::verify), verified);
        QCOMPARE(outcome(BundleSignature::assess), assessed.isEmpty() ? verified : assessed);
    }
};

QTEST_GUILESS_MAIN(TestLinuxTools)
#include "tst_linux_tools.moc"
