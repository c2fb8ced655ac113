// What a second start of the program says to the running one over the
// local socket: one line of UTF-8 JSON, {"v":1,"open":["/abs/file.epub"]}
// ("open" may be empty: just show the window). The running one answers
// "ok\n" once it has taken the message.
//
// Pure logic: any thread.
#pragma once

#include <QByteArray>
#include <QStringList>
#include <optional>

class InstanceMessage
{
public:
    static constexpr int kVersion = 1;
    // A message longer than this is refused without being read further.
    static constexpr qsizetype kMaxSize = 256 * 1024;
    static constexpr char kAnswer[] = "ok\n";

    // The line (ending in '\n') asking the running instance to open `files`.
    static QByteArray encode(const QStringList &files);
    // The files of one line (with or without its '\n'); absent when it is
    // no message of this version: malformed JSON, another version, "open"
    // not a list of absolute paths, or longer than kMaxSize.
    static std::optional<QStringList> decode(const QByteArray &line);
};
