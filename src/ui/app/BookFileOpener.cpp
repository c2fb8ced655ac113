#include "BookFileOpener.h"

#include "MainWindow.h"
#include "MsgBox.h"
#include "Navigation.h"
#include "core/shelf/ShelfModel.h"
#include "core/store/BookFileImport.h"
#include "core/util/Logging.h"

BookFileOpener::BookFileOpener(Navigation &app, QObject *parent)
    : QObject(parent)
    , m_app(app)
{
}

QStringList BookFileOpener::open(const QStringList &files)
{
    if (MainWindow *window = m_app.window()) {
        if (window->isMinimized())
            window->showNormal();
        window->raise();
        window->activateWindow();
    }
    QStringList found;
    for (const QString &file : files) {
        m_reported = false;
        const BookFileImport::Result r = BookFileImport::importFile(m_app.library().books(), file, *this);
        if (r.fileName.isEmpty()) {
            qCWarning(lcApp) << "cannot open" << file << r.error;
            if (!m_reported)
                MsgBox::errorMessage(r.error);
            continue;
        }
        found.append(r.fileName);
    }
    if (!found.isEmpty()) {
        const QString last = found.last();
        m_app.changeToReader(
            ShelfModel(m_app.library()).readerInfo(ShelfModel::entryFor(last), &m_app.shareHelper()));
        emit opened(last);
    }
    return found;
}

bool BookFileOpener::askOverwrite()
{
    return MsgBox::syncedAsk(PackageInstaller::kOverwrite, QString());
}

void BookFileOpener::error(const QString &message)
{
    m_reported = true;
    MsgBox::errorMessage(message);
}
