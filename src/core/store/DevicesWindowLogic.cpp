#include "DevicesWindowLogic.h"

#include "StoreManager.h"
#include "core/platform/MessagePresenter.h"
#include "core/platform/UserDefaults.h"
#include "core/util/DictionaryHelpers.h"

DevicesWindowLogic::DevicesWindowLogic(StoreManager &store, MessagePresenter &messages)
    : m_store(store)
    , m_messages(messages)
{
}

QStringList DevicesWindowLogic::redisp() const
{
    QStringList labels;
    for (int i = 0; i < 3; ++i) {
        const QVariantMap d = devices.value(i).toMap();
        labels << (d.isEmpty() ? QString()
                               : QStringLiteral("%1 %2").arg(d.value(QStringLiteral("unit_name")).toString(),
                                   d.value(QStringLiteral("last_date")).toString()));
    }
    return labels;
}

void DevicesWindowLogic::unlock(int index)
{
    const auto id = stringForKey(devices.value(index).toMap(), QStringLiteral("id"));
    if (!id)
        return;
    m_store.deleteUnit(*id,
        [this](const QVariant &result, const std::optional<ApiResponse> &,
            const std::optional<ApiError> &error) {
            const QVariantMap answer = result.toMap();
            if (answer.value(QStringLiteral("result")).toBool()) {
                if (parent)
                    parent->didDevicesWindow(this, true);
                UserDefaults::setValue(QString::fromLatin1(UserDefaults::accountLift), QStringLiteral("0"));
                UserDefaults::synchronize();
                return;
            }
            QString message = stringForKey(answer, QStringLiteral("message")).value_or(QString());
            if (message.isEmpty() && error)
                message = error->description;
            if (message.isEmpty())
                message = QStringLiteral("??");
            m_messages.error(message);
        });
}

void DevicesWindowLogic::tapCancel()
{
    if (parent)
        parent->didDevicesWindow(this, false);
}
