#include "BundleResources.h"
#include "ControllerTestSupport.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

// The built "Quillo Edge.app" as it ships: no overrides, the stand-in installer and service.
class BundleControllerTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir serviceHome_;

    std::unique_ptr<ServiceController> makeController()
    {
        ServiceControllerSetup setup;
        setup.bundle = AppBundle(QStringLiteral(QUILLO_BUNDLE_DIR));
        // The automatic check finds nothing listening here.
        setup.managerManifestURL = QUrl(QStringLiteral("https://127.0.0.1:1/macos.json"));
        setup.serverManifestURL = QUrl(QStringLiteral("https://127.0.0.1:1/edge.json"));
        return std::make_unique<ServiceController>(std::move(setup));
    }

    static bool runToEnd(ServiceController &controller, void (ServiceController::*operation)())
    {
        (controller.*operation)();
        return QTest::qWaitFor([&] { return !controller.isBusy(); }, 30000) && !controller.errorMessage();
    }

private slots:
    void initTestCase()
    {
        // The stand-ins keep their folders and port where this test says.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        qputenv("QUILLO_EDGE_SERVER_PORT", QByteArray::number(probe.serverPort()));
        qputenv("QUILLO_EDGE_SERVER_HOME", QFile::encodeName(serviceHome_.path()));
    }

    void readsItsOwnInfoValues()
    {
        auto controller = makeController();
        QCOMPARE(controller->managerVersion(), QStringLiteral(QUILLO_PROJECT_VERSION));
        QCOMPARE(controller->managerBuildNumber(), qint64(QUILLO_BUILD_NUMBER));
        QVERIFY(BundleResources::isExecutableFile(controller->bundledServerURL().toLocalFile()));
        QVERIFY(BundleResources::isExecutableFile(controller->updaterURL().toLocalFile()));
        QCOMPARE(controller->installerURL().toLocalFile(),
                 QStringLiteral(QUILLO_BUNDLE_DIR "/Contents/Resources/Installer/install.sh"));
        QVERIFY(QFile::exists(controller->installerURL().toLocalFile()));
    }

    void installsRunsAndRemovesTheService()
    {
        auto controller = makeController();
        QSignalSpy statusChanges(controller.get(), &ServiceController::statusChanged);
        controller->refresh();
        QTRY_COMPARE_WITH_TIMEOUT(statusChanges.count(), 1, 30000);
        QCOMPARE(controller->presentationState(), ServicePresentationState::notInstalled);

        QVERIFY2(runToEnd(*controller, &ServiceController::install),
                 qPrintable(controller->errorMessage().value_or(QString())));
        QVERIFY(controller->status().installed && controller->status().managed && controller->status().running);
        QTRY_VERIFY_WITH_TIMEOUT((controller->refresh(), controller->status().healthy), 15000);

        QVERIFY(runToEnd(*controller, &ServiceController::stop));
        QCOMPARE(controller->presentationState(), ServicePresentationState::stopped);
        QVERIFY(runToEnd(*controller, &ServiceController::uninstall));
        QCOMPARE(controller->presentationState(), ServicePresentationState::notInstalled);
    }
};

QUILLO_CONTROLLER_TEST_MAIN(BundleControllerTest)
#include "tst_controller_bundle.moc"
