// The management page view against a local page: what stays inside, what goes to the browser.
#include "ApplicationSetup.h"
#include "OpenedUrls.h"
#include "WindowTestSupport.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QHash>
#include <QQuickItem>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

const QByteArray homePage = R"(<!doctype html><html><head><meta charset="utf-8"><title>home</title></head><body>
<a id="local" href="/second">local</a>
<a id="external" href="http://quillo.invalid/elsewhere">elsewhere</a>
<a id="blank" target="_blank" href="http://quillo.invalid/blank">new window</a>
<input id="file" type="file" style="position:absolute; left:0; top:100px; width:300px; height:60px">
<script>
  var changes = 0;
  document.getElementById('file').addEventListener('change', () => changes++);
</script></body></html>)";

const QByteArray testWindow = R"(
import QtQuick
import QuilloEdge
Window {
    id: root
    width: 800; height: 600; visible: true
    property url pageUrl
    DashboardWebView { objectName: "view"; anchors.fill: parent; pageUrl: root.pageUrl }
})";

// Serves the home page for every path, and counts the requests per path.
class PageServer : public QTcpServer
{
public:
    QHash<QString, int> requests;

    PageServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
        });
        listen(QHostAddress::LocalHost);
    }
    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path));
    }

private:
    void answer(QTcpSocket *socket)
    {
        const QByteArray head = socket->readAll();
        ++requests[QString::fromLatin1(head.split(' ').value(1))];
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\n"
                      "Content-Length: " + QByteArray::number(homePage.size()) + "\r\n\r\n" + homePage);
        socket->disconnectFromHost();
    }
};

} // namespace

class DashboardViewTest : public QObject
{
    Q_OBJECT

private:
    PageServer server_;
    OpenedUrls opened_;
    std::unique_ptr<LoadedWindow> window_;
    QObject *view_ = nullptr;

    QUrl viewUrl() const { return view_->property("url").toUrl(); }
    // Waits until the page at path has been requested once more and has finished loading.
    bool loadedAfterRequest(const QString &path, int requestsBefore) const
    {
        return QTest::qWaitFor(
            [&] {
                return server_.requests.value(path) > requestsBefore && viewUrl() == server_.url(path)
                    && !view_->property("loading").toBool() && view_->property("title") == QLatin1String("home");
            },
            20000);
    }
    void runJavaScript(const QString &script) const
    {
        if (!QMetaObject::invokeMethod(view_, "runJavaScript", Q_ARG(QString, script)))
            qWarning("runJavaScript could not be called");
    }
    // Lets the page answer through its title.
    QString ask(const QString &expression) const
    {
        runJavaScript(QStringLiteral("document.title = String(%1)").arg(expression));
        if (!QTest::qWaitFor([&] { return view_->property("title").toString() != QLatin1String("home"); }, 5000))
            return QStringLiteral("(no answer)");
        return view_->property("title").toString();
    }
    void load(const QString &path)
    {
        const int before = server_.requests.value(path);
        window_->window()->setProperty("pageUrl", server_.url(path));
        QVERIFY(loadedAfterRequest(path, before));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(server_.isListening());
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &opened_, "open");
        window_ = std::make_unique<LoadedWindow>(testWindow);
        QVERIFY2(window_->window(), qPrintable(window_->error()));
        view_ = window_->find(QStringLiteral("view"));
        QVERIFY(view_);
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }

    void loadsOnlyANewAddress()
    {
        load(QStringLiteral("/"));
        QCOMPARE(server_.requests.value(QStringLiteral("/")), 1);
        // A re-render with the same address does not reload.
        QMetaObject::invokeMethod(view_, "loadPage");
        QTest::qWait(300);
        QCOMPARE(server_.requests.value(QStringLiteral("/")), 1);
        // A new address (say, a new port) loads.
        load(QStringLiteral("/?port=6177"));
        QCOMPARE(server_.requests.value(QStringLiteral("/?port=6177")), 1);
    }

    void keepsToTheLocalService()
    {
        load(QStringLiteral("/links"));
        opened_.urls.clear();
        runJavaScript(QStringLiteral("document.getElementById('external').click()"));
        QTRY_COMPARE(opened_.urls, QList<QUrl>({QUrl(QStringLiteral("http://quillo.invalid/elsewhere"))}));
        runJavaScript(QStringLiteral("document.getElementById('blank').click()"));
        runJavaScript(QStringLiteral("window.open('http://quillo.invalid/opened')"));
        QTRY_COMPARE(opened_.urls.size(), 3);
        QVERIFY(opened_.urls.contains(QUrl(QStringLiteral("http://quillo.invalid/blank"))));
        QVERIFY(opened_.urls.contains(QUrl(QStringLiteral("http://quillo.invalid/opened"))));
        QCOMPARE(viewUrl(), server_.url(QStringLiteral("/links")));
        QCOMPARE(QGuiApplication::topLevelWindows().size(), 1);

        runJavaScript(QStringLiteral("document.getElementById('local').click()"));
        QVERIFY(loadedAfterRequest(QStringLiteral("/second"), 0));
        QCOMPARE(opened_.urls.size(), 3);
    }

    void cancelledChooserGivesThePageNothing()
    {
        load(QStringLiteral("/chooser"));
        QObject *chooser = window_->find(QStringLiteral("fileChooser"));
        QTest::mouseClick(window_->window(), Qt::LeftButton, Qt::NoModifier, QPoint(150, 130));
        QTRY_VERIFY(chooser->property("visible").toBool());
        QCOMPARE(chooser->property("title").toString(), QStringLiteral("选择要打印的文件"));
        QCOMPARE(chooser->property("acceptLabel").toString(), QStringLiteral("选择"));
        QMetaObject::invokeMethod(chooser, "reject");
        QCOMPARE(ask(QStringLiteral("document.getElementById('file').files.length + ',' + changes")),
                 QStringLiteral("0,0"));
    }
};

QUILLO_WINDOW_TEST_MAIN(DashboardViewTest)
#include "tst_dashboard_view.moc"
