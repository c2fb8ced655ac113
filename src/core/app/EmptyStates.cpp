#include "EmptyStates.h"

QString EmptyStates::shelf(const QString &searchText, bool accountLifted, bool firstShelf)
{
    if (accountLifted)
        return QStringLiteral("この端末のサインインが解除されたため、本を表示していません。"
                              "ストアからもう一度サインインすると表示されます。");
    if (!searchText.isEmpty())
        return QStringLiteral("「%1」に一致する本はこの本棚にありません。").arg(searchText);
    if (firstShelf)
        return QStringLiteral("この本棚にはまだ本がありません。ストアで入手した本や、"
                              "「PDFを取り込む」で取り込んだ本がここに並びます。");
    return QStringLiteral("この本棚にはまだ本がありません。ほかの本棚の本を右クリックし、"
                          "「書籍を移動する」でこの本棚を選ぶと移せます。");
}

QString EmptyStates::readingHistory()
{
    return QStringLiteral("まだ読んだ本はありません。本棚で本を開くと、ここに並びます。");
}

QString EmptyStates::news(bool unreachable)
{
    if (unreachable)
        return QStringLiteral("サーバーに接続できないため、お知らせを表示できません。"
                              "ネットワークの接続を確かめてください。");
    return QStringLiteral("お知らせはありません。");
}

QString EmptyStates::store(bool signedIn)
{
    if (signedIn)
        return QStringLiteral("サーバーに接続できないため、ストアを表示できません。"
                              "ネットワークの接続を確かめてから、ホームボタンを押してください。");
    return QStringLiteral("ストアにアクセスにするにはログインしてください。ログインを行う、"
                          "もしくはログインしている場合はホームボタンを押してください");
}
