#include "ShortcutCatalog.h"

#include <QGuiApplication>

QList<QKeySequence> ShortcutCatalog::helpKeys()
{
    return { QKeySequence(Qt::Key_F1), QKeySequence(Qt::CTRL | Qt::Key_Slash) };
}

QList<ShortcutEntry> ShortcutCatalog::all()
{
    const QString app = QStringLiteral("全体");
    const QString shelf = QStringLiteral("本棚");
    const QString reader = QStringLiteral("リーダー");
    const QString store = QStringLiteral("ストア");
    const QString image = QStringLiteral("画像");
    const QString dictionary = QStringLiteral("辞書");
    QList<ShortcutEntry> list;
    for (const QKeySequence &k : helpKeys())
        list.append({ app, QStringLiteral("ショートカット一覧"), k });
    list += {
        { app, QStringLiteral("全画面表示 (上端・左端でツールバーと目次)"), QKeySequence(Qt::Key_F11) },
        { app, QStringLiteral("辞書ウィンドウ"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K) },
        { app, QStringLiteral("TOP"), QKeySequence(Qt::CTRL | Qt::Key_1) },
        { app, QStringLiteral("本棚"), QKeySequence(Qt::CTRL | Qt::Key_2) },
        { app, QStringLiteral("ストア"), QKeySequence(Qt::CTRL | Qt::Key_3) },
        { app, QStringLiteral("次の欄へ / 前の欄へ"), QKeySequence(Qt::Key_Tab) },
        { shelf, QStringLiteral("次の本棚"), QKeySequence(Qt::CTRL | Qt::Key_PageDown) },
        { shelf, QStringLiteral("前の本棚"), QKeySequence(Qt::CTRL | Qt::Key_PageUp) },
        { shelf, QStringLiteral("本棚の名前を変更"), QKeySequence(Qt::Key_F2) },
        { shelf, QStringLiteral("選んだ本棚・本を削除"), QKeySequence(Qt::Key_Delete), QKeySequence::Delete },
        { shelf, QStringLiteral("本を開く"), QKeySequence(Qt::Key_Return) },
        { shelf, QStringLiteral("新しい本棚"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N) },
        { shelf, QStringLiteral("PDFを取り込む"), QKeySequence(Qt::CTRL | Qt::Key_O), QKeySequence::Open },
        { shelf, QStringLiteral("グリッド表示"), QKeySequence(Qt::CTRL | Qt::Key_G) },
        { shelf, QStringLiteral("リスト表示"), QKeySequence(Qt::CTRL | Qt::Key_L) },
        { shelf, QStringLiteral("本を探す"), QKeySequence(Qt::CTRL | Qt::Key_F) },
        { shelf, QStringLiteral("すべての本の本文を検索"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F) },
        { reader, QStringLiteral("この本の中を検索"), QKeySequence(Qt::CTRL | Qt::Key_F),
            QKeySequence::Find },
        { reader, QStringLiteral("前のページ (右開き・縦書きの本では次へ)"), QKeySequence(Qt::Key_Left) },
        { reader, QStringLiteral("次のページ (右開き・縦書きの本では前へ)"), QKeySequence(Qt::Key_Right) },
        { reader, QStringLiteral("次の画面 (章の終わりでは次の章へ)"), QKeySequence(Qt::Key_Space) },
        { reader, QStringLiteral("次の画面 (章の終わりでは次の章へ)"), QKeySequence(Qt::Key_PageDown) },
        { reader, QStringLiteral("次の画面 (章の終わりでは次の章へ)"), QKeySequence(Qt::Key_Down) },
        { reader, QStringLiteral("前の画面 (章の初めでは前の章の終わりへ)"),
            QKeySequence(Qt::SHIFT | Qt::Key_Space) },
        { reader, QStringLiteral("前の画面 (章の初めでは前の章の終わりへ)"), QKeySequence(Qt::Key_PageUp) },
        { reader, QStringLiteral("前の画面 (章の初めでは前の章の終わりへ)"), QKeySequence(Qt::Key_Up) },
        { reader, QStringLiteral("戻る"), QKeySequence(Qt::ALT | Qt::Key_Left), QKeySequence::Back },
        { reader, QStringLiteral("文字を小さく"), QKeySequence(Qt::CTRL | Qt::Key_Minus),
            QKeySequence::ZoomOut },
        { reader, QStringLiteral("文字を大きく"), QKeySequence(Qt::CTRL | Qt::Key_Plus),
            QKeySequence::ZoomIn },
        { reader, QStringLiteral("文字を大きく"), QKeySequence(Qt::CTRL | Qt::Key_Equal) },
        { reader, QStringLiteral("標準の文字サイズ"), QKeySequence(Qt::CTRL | Qt::Key_0) },
        { reader, QStringLiteral("このページにしおりを付ける・外す"), QKeySequence(Qt::CTRL | Qt::Key_D) },
        { reader, QStringLiteral("しおり・ハイライト・メモの一覧"), QKeySequence(Qt::CTRL | Qt::Key_B) },
        { reader, QStringLiteral("選んだ文をハイライト"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H) },
        { reader, QStringLiteral("選んだ文にメモを付ける"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M) },
        { reader, QStringLiteral("選んだ所のハイライトを削除"),
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D) },
        { reader, QStringLiteral("選んだ語を辞書で引く"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L) },
        { reader, QStringLiteral("表示テーマを切り替える (昼・セピア・夜)"),
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T) },
        { reader, QStringLiteral("一覧の題を編集"), QKeySequence(Qt::Key_F2) },
        { reader, QStringLiteral("メモを保存"), QKeySequence(Qt::CTRL | Qt::Key_Return) },
        { reader, QStringLiteral("印刷"), QKeySequence(Qt::CTRL | Qt::Key_P), QKeySequence::Print },
        { store, QStringLiteral("戻る"), QKeySequence(Qt::ALT | Qt::Key_Left), QKeySequence::Back },
        { store, QStringLiteral("進む"), QKeySequence(Qt::ALT | Qt::Key_Right), QKeySequence::Forward },
        { store, QStringLiteral("ホーム"), QKeySequence(Qt::ALT | Qt::Key_Home) },
        { store, QStringLiteral("再読込"), QKeySequence(Qt::Key_F5), QKeySequence::Refresh },
        { dictionary, QStringLiteral("前に引いた語"), QKeySequence(Qt::ALT | Qt::Key_Left) },
        { dictionary, QStringLiteral("次に引いた語"), QKeySequence(Qt::ALT | Qt::Key_Right) },
        { dictionary, QStringLiteral("選んだ見出し語を履歴に残す"), QKeySequence(Qt::Key_Return) },
        { dictionary, QStringLiteral("閉じる"), QKeySequence(Qt::Key_Escape) },
        { image, QStringLiteral("拡大"), QKeySequence(Qt::Key_Plus) },
        { image, QStringLiteral("縮小"), QKeySequence(Qt::Key_Minus) },
        { image, QStringLiteral("閉じる"), QKeySequence(Qt::Key_Escape) },
    };
    return list;
}

QList<QKeySequence> ShortcutCatalog::bindings(const ShortcutEntry &entry)
{
    // The platform's bindings come from its theme, which only a GUI
    // application has (the inspector runs without one).
    if (entry.standard != QKeySequence::UnknownKey
        && qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        const QList<QKeySequence> platform = QKeySequence::keyBindings(entry.standard);
        if (!platform.isEmpty())
            return platform;
    }
    return { entry.keys };
}

bool ShortcutCatalog::lists(const QKeySequence &keys, const QString &screen)
{
    for (const ShortcutEntry &e : all())
        if (bindings(e).contains(keys)
            && (screen.isEmpty() || e.screen == screen || e.screen == QStringLiteral("全体")))
            return true;
    return false;
}
