#include "EpubPaging.h"

#include "PageScripts.h"
#include "core/reader/PageTurn.h"

#include <QEvent>
#include <QKeyEvent>
#include <QWebEngineView>

namespace
{

// The document's reading axis, as a function in the page scripts' world:
// where the view is along it from the document's start, the screen's and
// the document's lengths along it, and a line's height. Chromium counts a
// right-to-left scroll from the right edge in negative offsets.
const char kAxis[] = R"JS(
function tavroAxis() {
  var se = document.scrollingElement || document.documentElement;
  if (!se) return null;
  var cs = getComputedStyle(document.body || document.documentElement);
  var wm = cs.writingMode || '';
  var vertical = wm.indexOf('vertical') === 0 || wm.indexOf('sideways') === 0;
  var line = parseFloat(cs.lineHeight);
  if (!(line > 0)) line = (parseFloat(cs.fontSize) || 16) * 1.2;
  if (vertical) {
    var rl = wm.slice(-2) !== 'lr';
    return { vertical: true, rl: rl, offset: rl ? -window.scrollX : window.scrollX,
             viewport: se.clientWidth, extent: se.scrollWidth, line: line };
  }
  return { vertical: false, rl: false, offset: window.scrollY,
           viewport: se.clientHeight, extent: se.scrollHeight, line: line };
}
function tavroScrollAxis(to) {
  var a = tavroAxis();
  if (!a) return;
  if (a.vertical)
    window.scrollTo({ left: a.rl ? -to : to, top: window.scrollY, behavior: 'instant' });
  else
    window.scrollTo({ left: window.scrollX, top: to, behavior: 'instant' });
}
)JS";

QString axisScript(const QString &call)
{
    return QLatin1String(kAxis) + call;
}

} // namespace

EpubPaging::EpubPaging(QWebEngineView *view, QObject *parent)
    : QObject(parent)
    , m_view(view)
    , m_viewObject(view)
{
    view->installEventFilter(this);
    connect(view, &QWebEngineView::loadStarted, this, [this] {
        ++m_loads;
        m_busy = false;
    });
    connect(view, &QWebEngineView::loadFinished, this, &EpubPaging::watchInput);
    watchInput();
}

void EpubPaging::setItem(int item, int itemCount)
{
    m_item = item;
    m_itemCount = itemCount;
}

void EpubPaging::watchInput()
{
    QWidget *input = m_view ? m_view->focusProxy() : nullptr;
    if (!input || input == m_input)
        return;
    input->installEventFilter(this);
    m_input = input;
}

std::optional<bool> EpubPaging::directionOf(const QKeyEvent &event)
{
    const Qt::KeyboardModifiers mods = event.modifiers() & ~Qt::KeypadModifier;
    switch (event.key()) {
    case Qt::Key_Space:
        if (mods == Qt::NoModifier || mods == Qt::ShiftModifier)
            return mods == Qt::NoModifier;
        return std::nullopt;
    case Qt::Key_PageDown:
    case Qt::Key_Down:
        return mods == Qt::NoModifier ? std::optional(true) : std::nullopt;
    case Qt::Key_PageUp:
    case Qt::Key_Up:
        return mods == Qt::NoModifier ? std::optional(false) : std::nullopt;
    default:
        return std::nullopt;
    }
}

bool EpubPaging::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_viewObject
        && (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildPolished))
        watchInput(); // the render widget may be made anew
    if (watched == m_input && event->type() == QEvent::KeyPress) {
        if (const auto forward = directionOf(*static_cast<QKeyEvent *>(event))) {
            step(*forward);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void EpubPaging::step(bool forward)
{
    if (!m_view || m_busy)
        return;
    m_busy = true;
    QPointer<EpubPaging> self(this);
    const quint64 load = m_loads;
    PageScripts::run(
        m_view->page(), axisScript(QStringLiteral("tavroAxis()")), [self, forward, load](const QVariant &v) {
            if (!self || !self->m_view || self->m_loads != load)
                return; // gone, or another document came meanwhile
            self->m_busy = false;
            const QVariantMap axis = v.toMap();
            if (axis.isEmpty())
                return;
            const PageTurn::Where where { axis.value(QStringLiteral("offset")).toDouble(),
                axis.value(QStringLiteral("viewport")).toDouble(),
                axis.value(QStringLiteral("extent")).toDouble(), self->m_item, self->m_itemCount };
            const PageTurn::Move move
                = PageTurn::step(where, forward, axis.value(QStringLiteral("line")).toDouble());
            switch (move.kind) {
            case PageTurn::Move::Stay:
                return;
            case PageTurn::Move::Scroll:
                PageScripts::run(self->m_view->page(),
                    axisScript(QStringLiteral("tavroScrollAxis(%1)").arg(move.offset, 0, 'f', 1)));
                return;
            case PageTurn::Move::ItemStart:
            case PageTurn::Move::ItemEnd:
                emit self->itemWanted(move.item, move.kind == PageTurn::Move::ItemEnd);
                return;
            }
        });
}

void EpubPaging::scrollToEnd()
{
    if (m_view)
        PageScripts::run(m_view->page(), axisScript(QStringLiteral("tavroScrollAxis(1e9)")));
}
