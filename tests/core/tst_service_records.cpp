#include "DecimalInteger.h"
#include "InstallerClient.h"
#include "InstallerEvent.h"
#include "ServicePresentationState.h"
#include "ServiceStatus.h"

#include <QJsonDocument>
#include <QtTest>

namespace {

const char *completeStatus = R"({"installed":true,"managed":true,"running":true,"healthy":false,
    "autoStart":true,"version":"1.2.3","host":"127.0.0.1","port":6176,
    "url":"http://127.0.0.1:6176","installRoot":"/r","dataDir":"/d","logDir":"/l"})";

QJsonObject parse(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

} // namespace

class ServiceRecordsTest : public QObject
{
    Q_OBJECT

private slots:
    void statusDecodesCompleteRecordIgnoringExtraKeys()
    {
        QJsonObject object = parse(completeStatus);
        object.insert(QStringLiteral("futureField"), QStringLiteral("ignored"));
        const auto status = ServiceStatus::fromJson(object);
        QVERIFY(status);
        QCOMPARE(status->port, 6176);
        QCOMPARE(status->version, QStringLiteral("1.2.3"));
        QVERIFY(!status->healthy);
        QCOMPARE(ServiceStatus::fromJson(status->toJson()), status);
    }

    void statusFailsAsAWhole_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value");
        const QJsonObject complete = parse(completeStatus);
        for (const QString &key : complete.keys())
            QTest::addRow("missing %s", qPrintable(key)) << key << QJsonValue(QJsonValue::Undefined);
        QTest::newRow("port null") << "port" << QJsonValue(QJsonValue::Null);
        QTest::newRow("running as text") << "running" << QJsonValue(QStringLiteral("true"));
        QTest::newRow("port as text") << "port" << QJsonValue(QStringLiteral("6176"));
        QTest::newRow("port fractional") << "port" << QJsonValue(6176.5);
        QTest::newRow("port beyond 64 bits") << "port" << QJsonValue(1e19);
    }

    void statusFailsAsAWhole()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        QJsonObject object = parse(completeStatus);
        if (value.isUndefined())
            object.remove(key);
        else
            object.insert(key, value);
        QVERIFY(!ServiceStatus::fromJson(object));
    }

    void eventDecoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("decodes");
        QTest::newRow("complete") << QByteArray(R"({"event":"s","progress":40,"message":"m"})") << true;
        QTest::newRow("no message") << QByteArray(R"({"event":"s","progress":40})") << false;
        QTest::newRow("progress text") << QByteArray(R"({"event":"s","progress":"40","message":"m"})") << false;
        QTest::newRow("event null") << QByteArray(R"({"event":null,"progress":1,"message":"m"})") << false;
        // Strict JSON only.
        QTest::newRow("raw tab in a string") << QByteArray("{\"event\":\"s\t\",\"progress\":1,\"message\":\"m\"}") << false;
        QTest::newRow("unknown escape") << QByteArray(R"({"event":"\a","progress":1,"message":"m"})") << false;
        QTest::newRow("unpaired surrogate") << QByteArray(R"({"event":"\ud800","progress":1,"message":"m"})") << false;
        for (const char *number : {"4.e1", "1.", ".7", "-.5"})
            QTest::addRow("number %s", number) << R"({"event":"s","progress":1,"message":"m","x":)" + QByteArray(number) + "}" << false;
        QTest::newRow("tiny number") << QByteArray(R"({"event":"s","progress":1,"message":"m","x":1e-400})") << true;
        // An integer is a whole number in the signed 64-bit range, however it is written.
        QTest::newRow("progress written 4.0e1") << QByteArray(R"({"event":"s","progress":4.0e1,"message":"m"})") << true;
        QTest::newRow("progress 1e-400") << QByteArray(R"({"event":"s","progress":1e-400,"message":"m"})") << false;
        QTest::newRow("progress above 64 bits") << QByteArray(R"({"event":"s","progress":9223372036854775808,"message":"m"})") << false;
        QTest::newRow("progress below 64 bits") << QByteArray(R"({"event":"s","progress":-9223372036854775809,"message":"m"})") << false;
    }

    // Event lines are read as the installer client reads a command's output.
    void eventDecoding()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, decodes);
        QCOMPARE(InstallerClient::events(QString::fromUtf8(json)).size(), decodes ? 1 : 0);
    }

    void presentationState_data()
    {
        using State = ServicePresentationState;
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("managed");
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("healthy");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<State>("expected");
        QTest::newRow("busy wins over everything") << true << true << true << true << true << State::starting;
        QTest::newRow("not installed") << false << true << true << true << false << State::notInstalled;
        QTest::newRow("unmanaged but healthy") << true << false << true << true << false << State::needsAdoption;
        QTest::newRow("stopped") << true << true << false << true << false << State::stopped;
        QTest::newRow("healthy") << true << true << true << true << false << State::healthy;
        QTest::newRow("unhealthy") << true << true << true << false << false << State::unhealthy;
    }

    void presentationState()
    {
        QFETCH(bool, installed);
        QFETCH(bool, managed);
        QFETCH(bool, running);
        QFETCH(bool, healthy);
        QFETCH(bool, busy);
        QFETCH(ServicePresentationState, expected);
        ServiceStatus status = ServiceStatus::unavailable();
        status.installed = installed;
        status.managed = managed;
        status.running = running;
        status.healthy = healthy;
        QCOMPARE(::presentationState(status, busy), expected);
    }

    void decimalIntegers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint64>("value");
        QTest::newRow("plain") << "42" << true << qint64(42);
        QTest::newRow("plus sign") << "+12" << true << qint64(12);
        QTest::newRow("largest") << "9223372036854775807" << true << std::numeric_limits<qint64>::max();
        QTest::newRow("smallest") << "-9223372036854775808" << true << std::numeric_limits<qint64>::min();
        QTest::newRow("one past largest") << "9223372036854775808" << false << qint64(0);
        QTest::newRow("one past smallest") << "-9223372036854775809" << false << qint64(0);
        QTest::newRow("lone sign") << "-" << false << qint64(0);
        QTest::newRow("space") << " 1" << false << qint64(0);
        QTest::newRow("full-width digit") << "１" << false << qint64(0);
    }

    void decimalIntegers()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(qint64, value);
        const auto parsed = parseDecimalInteger(text);
        QCOMPARE(parsed.has_value(), valid);
        if (valid)
            QCOMPARE(*parsed, value);
    }
};

QTEST_GUILESS_MAIN(ServiceRecordsTest)
#include "tst_service_records.moc"
