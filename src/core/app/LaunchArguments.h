// The book files named on the command line (`tavro FILE...`, and what the
// desktop entry passes for "%F"): EPUB and PDF files, by path or as file://
// URLs, made absolute against the folder the program was started in.
//
// Pure logic: any thread.
#pragma once

#include <QString>
#include <QStringList>

class LaunchArguments
{
public:
    struct Rejected {
        QString argument;
        QString reason; // for people, e.g. "no such file"
    };
    struct Result {
        QStringList files; // absolute, cleaned paths, in the given order, without repeats
        QList<Rejected> rejected; // arguments that are no readable EPUB or PDF file
    };

    // Sorts the positional arguments into book files and the rest. Never
    // fails: an argument that cannot be opened ends up in `rejected`.
    static Result parse(const QStringList &arguments, const QString &workingDirectory);
    // Whether the name ends in ".epub" or ".pdf" (any case).
    static bool isBookFileName(const QString &name);
};
