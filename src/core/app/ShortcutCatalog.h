// Every keyboard shortcut of the program, by screen, with what it does: the
// list the shortcuts window shows (F1 or Ctrl+/) and the inspector prints.
// The interface tests check that each key a screen reacts to is listed.
//
// Pure data: any thread.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

struct ShortcutEntry {
    QString screen; // "全体", "本棚", "リーダー", "ストア", "画像", "辞書"
    QString action; // what the key does, as the interface names it
    QKeySequence keys; // the usual binding
    // For a platform's standard key (ZoomIn, Back...): the platform's
    // bindings replace `keys` where a GUI application runs.
    QKeySequence::StandardKey standard = QKeySequence::UnknownKey;
};

class ShortcutCatalog
{
public:
    static QList<ShortcutEntry> all();
    // The keys that open the shortcuts window.
    static QList<QKeySequence> helpKeys();
    // The key sequences of an entry: the platform's bindings of its standard
    // key under a QGuiApplication, else `keys`.
    static QList<QKeySequence> bindings(const ShortcutEntry &entry);
    // Whether `keys` is listed (for `screen`, or for any when empty).
    static bool lists(const QKeySequence &keys, const QString &screen = QString());
};
