// The per-user data folder ($HOME/.data) with "config.plist", the flat
// "contents" folder of book files and "Dic.sqlite".
//
// Paths are computed from $HOME at each call, so tests can point HOME at a
// temporary folder. Any thread.
#pragma once

#include <QString>

class DataFolder
{
public:
    // $HOME/.data
    static QString path();
    // $HOME/.data/config.plist
    static QString configFile();
    // $HOME/.data/contents
    static QString contentsFolder();
    // Creates the contents folder and any missing parents; false when it does
    // not exist afterwards (the caller may go on: nothing is lost).
    static bool createContentsFolder();
};
