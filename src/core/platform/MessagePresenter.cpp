#include "MessagePresenter.h"

#include "core/util/Logging.h"

namespace
{

class LoggingPresenter : public MessagePresenter
{
public:
    void show(const QString &message, const QString &title) override
    {
        qCWarning(lcApp).noquote() << "[" + title + "]" << message;
    }
};

MessagePresenter *installed = nullptr;

} // namespace

MessagePresenter &MessagePresenter::shared()
{
    static LoggingPresenter fallback;
    return installed ? *installed : fallback;
}

void MessagePresenter::setShared(MessagePresenter *presenter)
{
    installed = presenter;
}
