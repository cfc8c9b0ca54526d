// Stand-in print service. Serves:   quillo-edge-server --port N --data-dir DIR --service-version V
// Checks a running one:              quillo-edge-server --check-health URL [--expect-pid P] [--timeout-ms N]
//                                    (the same check as quillo-edge-health, for installations without it)
// Reports the version it was built as: quillo-edge-server --print-version
#include "EdgeServer.h"
#include "HealthCheck.h"
#include "UploadStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <cstring>

namespace {

void printLine(std::FILE *stream, const QString &text)
{
    std::fprintf(stream, "%s\n", text.toUtf8().constData());
}

// Decimal digits only, within [minimum, maximum].
bool parseBounded(const QString &text, int minimum, int maximum, int *value)
{
    if (text.isEmpty() || text.size() > 9)
        return false;
    int result = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
        result = result * 10 + (c.unicode() - u'0');
    }
    if (result < minimum || result > maximum)
        return false;
    *value = result;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--check-health") == 0)
        return runHealthCheck(argc, argv);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillo-edge-server"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quillo Edge 打印服务"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("监听端口"), QStringLiteral("port"),
                                  QStringLiteral("6176"));
    const QCommandLineOption dataDir(QStringLiteral("data-dir"), QStringLiteral("数据文件夹"), QStringLiteral("folder"));
    const QCommandLineOption serviceVersion(QStringLiteral("service-version"), QStringLiteral("报告的版本"),
                                            QStringLiteral("version"), QStringLiteral(QUILLO_EDGE_SERVER_VERSION));
    const QCommandLineOption printVersion(QStringLiteral("print-version"), QStringLiteral("输出程序版本"));
    parser.addOptions({port, dataDir, serviceVersion, printVersion});
    parser.addHelpOption();
    if (!parser.parse(QCoreApplication::arguments())) {
        printLine(stderr, parser.errorText());
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);

    if (parser.isSet(printVersion)) {
        printLine(stdout, QStringLiteral(QUILLO_EDGE_SERVER_VERSION));
        return 0;
    }

    int portNumber = 0;
    if (!parseBounded(parser.value(port), 1, 65535, &portNumber)) {
        printLine(stderr, QStringLiteral("端口无效：%1").arg(parser.value(port)));
        return 2;
    }
    if (parser.value(dataDir).isEmpty()) {
        printLine(stderr, QStringLiteral("缺少数据文件夹（--data-dir）"));
        return 2;
    }
    const QString folder = QDir(parser.value(dataDir)).absolutePath();
    if (!UploadStore::makePrivateFolder(folder)) {
        printLine(stderr, QStringLiteral("无法创建数据文件夹：%1").arg(folder));
        return 1;
    }

    EdgeServer server(static_cast<quint16>(portNumber), folder, parser.value(serviceVersion));
    if (const QString error = server.bind(); !error.isEmpty()) {
        printLine(stderr, error);
        return 1;
    }
    return server.serve() ? 0 : 1;
}
