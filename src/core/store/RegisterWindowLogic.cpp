#include "RegisterWindowLogic.h"

#include "VamoManager.h"
#include "core/util/StringHelpers.h"

RegisterWindowLogic::RegisterWindowLogic(VamoManager &vamo)
    : m_vamo(vamo)
{
}

QUrl RegisterWindowLogic::load() const
{
    return m_vamo.signUpUrl();
}

QVariantMap RegisterWindowLogic::decodeForm(const QByteArray &body)
{
    QVariantMap fields;
    for (const QByteArray &piece : body.split('&')) {
        const qsizetype eq = piece.indexOf('=');
        if (eq < 0)
            continue;
        auto decode = [](QByteArray raw) {
            raw.replace('+', ' ');
            const QString text = QString::fromUtf8(raw);
            return decodeURI(text).value_or(text);
        };
        fields.insert(decode(piece.left(eq)), decode(piece.mid(eq + 1)));
    }
    return fields;
}

void RegisterWindowLogic::willSendRequest(const QUrl &url, const QByteArray &body)
{
    if (url.toString() != m_vamo.usersUrl())
        return;
    const QVariantMap form = decodeForm(body);
    QVariantMap captured;
    if (form.contains(QStringLiteral("user[username]")))
        captured.insert(QStringLiteral("user"), form.value(QStringLiteral("user[username]")));
    if (form.contains(QStringLiteral("user[password]")))
        captured.insert(QStringLiteral("pwd"), form.value(QStringLiteral("user[password]")));
    info = captured;
}

void RegisterWindowLogic::didFinishLoading(const QUrl &url)
{
    if (url.toString() == m_vamo.homeIndexUrl() && parent)
        parent->didRegisgerWindow(this);
}
