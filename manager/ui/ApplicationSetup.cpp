#include "ApplicationSetup.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSGRendererInterface>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <langinfo.h>
#include <unistd.h>

void prepareWebEngine()
{
    // Every text is Simplified Chinese, the page's own controls and Qt's dialogs included.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China));
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        std::fputs("Quillo Edge 以 root 身份运行，网页引擎的沙箱无法启用，已关闭。\n", stderr);
    }
    // What the web engine needs before the application object, without loading it: its libraries
    // come with the page view, only once a page is wanted.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
}

void configureApplication(QGuiApplication &application)
{
    // Qt keeps the locale it finds. In one that is not UTF-8 (no LANG: the C locale) the X11 title
    // property older tools read (WM_NAME) gets Chinese titles as mangled bytes; C.UTF-8 is always there.
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0)
        std::setlocale(LC_CTYPE, "C.UTF-8");
    QGuiApplication::setApplicationName(QStringLiteral("Quillo Edge"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Quillo Edge"));
    QGuiApplication::setDesktopFileName(QStringLiteral("dev.quillo.edge"));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/QuilloEdge/icons/dev.quillo.edge.svg")));
    QQuickStyle::setStyle(QStringLiteral("Fusion"));
    // Glyphs drawn as the desktop draws them: crisp at the small sizes used here, and cheaper to
    // prepare than distance fields, which Chinese text needs one of for nearly every character.
    QQuickWindow::setTextRenderType(QQuickWindow::NativeTextRendering);
    // Symbols come from the freedesktop theme, falling back to the one the setup installs, so no
    // button is blank on a bare desktop.
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));

    auto *translator = new QTranslator(&application);
    if (translator->load(QLocale(), QStringLiteral("qt"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QGuiApplication::installTranslator(translator);

    const QString cjk = QStringLiteral("Noto Sans CJK SC");
    if (QFontDatabase::hasFamily(cjk)) {
        QFont font = application.font();
        font.setFamilies({cjk});
        application.setFont(font);
    }
}
