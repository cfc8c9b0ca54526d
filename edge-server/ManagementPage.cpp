#include "ManagementPage.h"

namespace {

// Listing thousands of uploads would make the page useless; the data folder shows them all.
constexpr qsizetype maxListedFiles = 200;

QString escaped(const QString &text)
{
    return text.toHtmlEscaped().replace(u'\'', QStringLiteral("&#39;"));
}

} // namespace

QByteArray ManagementPage::html() const
{
    QString page;
    page += QStringLiteral(
        "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>Quillo Edge 打印服务</title>\n<style>\n"
        "body{font-family:system-ui,sans-serif;margin:2rem auto;max-width:42rem;padding:0 1rem;color:#222}\n"
        "section{margin:1.5rem 0}.notice{background:#e8f5e9;padding:.5rem 1rem;border-radius:4px}\n"
        ".hint{color:#666;font-size:.9rem;word-break:break-all}\n"
        "</style>\n</head>\n<body>\n<h1>Quillo Edge 打印服务</h1>\n");
    page += QStringLiteral("<p>运行中 · 版本 %1</p>\n").arg(escaped(version));
    if (!notice.isEmpty())
        page += QStringLiteral("<p class=\"notice\">%1</p>\n").arg(escaped(notice));
    page += QStringLiteral(
        "<section>\n<h2>上传打印文件</h2>\n"
        "<form method=\"post\" action=\"/upload\" enctype=\"multipart/form-data\">\n"
        "<input type=\"file\" name=\"file\" required>\n<button type=\"submit\">上传</button>\n</form>\n");
    page += QStringLiteral("<p class=\"hint\">文件保存在数据文件夹：%1</p>\n</section>\n").arg(escaped(dataDir));
    page += QStringLiteral("<section>\n<h2>已上传的文件</h2>\n");
    if (files.isEmpty()) {
        page += QStringLiteral("<p>还没有上传的文件。</p>\n");
    } else {
        page += QStringLiteral("<ul>\n");
        for (qsizetype i = 0; i < files.size() && i < maxListedFiles; ++i)
            page += QStringLiteral("<li>%1</li>\n").arg(escaped(files[i]));
        page += QStringLiteral("</ul>\n");
        if (files.size() > maxListedFiles)
            page += QStringLiteral("<p class=\"hint\">另有 %1 个文件未列出。</p>\n").arg(files.size() - maxListedFiles);
    }
    page += QStringLiteral("</section>\n<footer>\n<a href=\"%1\" target=\"_blank\" rel=\"noopener noreferrer\">"
                           "访问 Quillo 官网</a>\n</footer>\n</body>\n</html>\n")
                .arg(QString::fromUtf16(siteUrl));
    return page.toUtf8();
}
