#include "RegisterWindow.h"

#include "core/store/RegisterWindowLogic.h"

#include <QPushButton>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

namespace
{

const char *kMarker = "tavro-form-post:";

// Reports every POST form the page submits as "action|body" on the console.
const char *kFormScript = R"JS(
document.addEventListener('submit', function (event) {
  var form = event.target;
  if (!form || (form.method || '').toLowerCase() !== 'post') return;
  var body = new URLSearchParams(new FormData(form)).toString();
  console.log('tavro-form-post:' + form.action + '|' + body);
}, true);
)JS";

class SignUpPage : public QWebEnginePage
{
public:
    SignUpPage(RegisterWindowLogic &logic, QObject *parent)
        : QWebEnginePage(parent)
        , m_logic(logic)
    {
    }

protected:
    void javaScriptConsoleMessage(
        JavaScriptConsoleMessageLevel, const QString &message, int, const QString &) override
    {
        if (!message.startsWith(QLatin1String(kMarker)))
            return;
        const QString rest = message.mid(int(strlen(kMarker)));
        const qsizetype bar = rest.indexOf(u'|');
        if (bar > 0)
            m_logic.willSendRequest(QUrl(rest.left(bar)), rest.mid(bar + 1).toUtf8());
    }

private:
    RegisterWindowLogic &m_logic;
};

} // namespace

RegisterWindow::RegisterWindow(RegisterWindowLogic &logic, QWidget *parent)
    : QDialog(parent)
    , m_logic(logic)
{
    setObjectName(QStringLiteral("RegisterWindow"));
    setWindowTitle(QStringLiteral("新規登録"));
    setWindowModality(Qt::WindowModal);
    auto *layout = new QVBoxLayout(this);
    m_web = new QWebEngineView(this);
    auto *page = new SignUpPage(m_logic, m_web);
    QWebEngineScript script;
    script.setName(QStringLiteral("tavro-form-capture"));
    script.setSourceCode(QString::fromUtf8(kFormScript));
    script.setInjectionPoint(QWebEngineScript::DocumentReady);
    script.setWorldId(QWebEngineScript::MainWorld);
    page->scripts().insert(script);
    m_web->setPage(page);
    layout->addWidget(m_web);
    auto *close = new QPushButton(QStringLiteral("閉じる"), this);
    connect(close, &QPushButton::clicked, this, [this] { done(0); });
    layout->addWidget(close, 0, Qt::AlignRight);
    connect(page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (ok)
            m_logic.didFinishLoading(m_web->url());
    });
    resize(720, 640);
}

void RegisterWindow::load()
{
    m_web->load(m_logic.load());
}
