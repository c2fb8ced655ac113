// Plain files "/files": the update manifest, the information file, the
// coffee-break page and the pages they link to. "{{BASE}}" in a text file is
// replaced by the server's base URL.
#include "Backend.h"
#include "HttpUtil.h"

#include "core/content/SafePath.h"

#include <QFile>
#include <QFileInfo>

void installFiles(httplib::Server &server, Backend &b)
{
    server.Get(R"(/files/(.+))", [&b](const httplib::Request &req, httplib::Response &res) {
        const QString path = QString::fromStdString(req.matches[1].str());
        QFile file(b.filesDir + u'/' + path);
        if (!SafePath::isSafeRelativePath(path) || !QFileInfo(file).isFile()
            || !file.open(QIODevice::ReadOnly)) {
            res.status = 404;
            res.set_content("not found", "text/plain");
            return;
        }
        QByteArray data = file.readAll();
        const QString suffix = QFileInfo(path).suffix().toLower();
        if (suffix == u"json" || suffix == u"html")
            data.replace("{{BASE}}", b.baseUrl.toUtf8());
        res.set_content(data.toStdString(),
            suffix == u"json"       ? "application/json; charset=utf-8"
                : suffix == u"html" ? "text/html; charset=utf-8"
                                    : "application/octet-stream");
    });
}
