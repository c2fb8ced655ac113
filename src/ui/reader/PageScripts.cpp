#include "PageScripts.h"

#include "core/util/Logging.h"

#include <QFile>
#include <QWebEnginePage>
#include <QWebEngineScriptCollection>

namespace
{
const char kScriptPrefix[] = "tavro-page-script:";
}

QStringList PageScripts::names()
{
    return { QStringLiteral("selection.js"), QStringLiteral("searchhighlight.js"),
        QStringLiteral("place.js") };
}

QString PageScripts::source(const QString &name)
{
    QFile file(QStringLiteral(":/pagescripts/") + name);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcContent) << "page script unreadable:" << name << file.errorString();
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

bool PageScripts::install(QWebEnginePage *page)
{
    QWebEngineScriptCollection &scripts = page->scripts();
    bool all = true;
    for (const QString &name : names()) {
        const QString id = QLatin1String(kScriptPrefix) + name;
        if (!scripts.find(id).isEmpty())
            continue;
        const QString code = source(name);
        if (code.isEmpty()) {
            all = false;
            continue;
        }
        QWebEngineScript script;
        script.setName(id);
        script.setSourceCode(code);
        script.setWorldId(kWorld);
        script.setInjectionPoint(QWebEngineScript::DocumentReady);
        script.setRunsOnSubFrames(false);
        scripts.insert(script);
    }
    return all;
}

void PageScripts::verify(QWebEnginePage *page, std::function<void(bool)> done)
{
    run(page,
        QStringLiteral(
            "typeof getSelectionStartQmNodeInfo === 'function' && typeof setHighlight === 'function'"
            " && typeof highlightSearchTerm === 'function'"),
        [done](const QVariant &result) { done(result.toBool()); });
}

void PageScripts::run(QWebEnginePage *page, const QString &script, std::function<void(const QVariant &)> done)
{
    if (done)
        page->runJavaScript(script, kWorld, [done](const QVariant &result) { done(result); });
    else
        page->runJavaScript(script, kWorld);
}
