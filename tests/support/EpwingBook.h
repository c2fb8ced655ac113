// Makes small EPWING books for tests with the FreePWING tools (Debian's
// freepwing: a Perl library driven by `fpwmake`), so that the book under
// test was written by a program that is not ours.
//
// Each entry is a heading (its search key too) and lines of text; "{g}" in
// a text line is a character of the book's own font (a full-width gaiji).
#pragma once

#include <QDir>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <unicode/ucnv.h>

struct EpwingEntry {
    QString heading;
    QStringList lines;
};

namespace epwing_book_detail
{

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QByteArray toEucJp(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out(utf8.size() * 2 + 8, '\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_convert(
        "EUC-JP", "UTF-8", out.data(), int32_t(out.size()), utf8.constData(), int32_t(utf8.size()), &status);
    return U_FAILURE(status) ? QByteArray() : out.left(n);
}

// The parser: blank-line separated entries of UTF-8 text, heading first.
constexpr const char *kParser = R"PERL(
use Encode;
use FreePWING::FPWUtils::FPWParser;
initialize_fpwparser('text' => \$fpwtext, 'heading' => \$fpwheading, 'word2' => \$fpwword2);
local $/ = "";
open(my $in, '<:encoding(UTF-8)', $ARGV[0]) || die "$ARGV[0]: $!\n";
while (my $block = <$in>) {
    my @lines = grep { length } split(/\n/, $block);
    next unless @lines;
    my $head = encode('euc-jp', shift @lines);
    $fpwtext->new_entry() || die $fpwtext->error_message() . "\n";
    $fpwheading->new_entry() || die $fpwheading->error_message() . "\n";
    $fpwheading->add_text($head) || die $fpwheading->error_message() . "\n";
    ($fpwtext->add_keyword_start() && $fpwtext->add_text($head) && $fpwtext->add_keyword_end()
        && $fpwtext->add_newline()) || die $fpwtext->error_message() . "\n";
    foreach my $line (@lines) {
        foreach my $part (split(/(\{g\})/, $line)) {
            if ($part eq '{g}') {
                $fpwtext->add_full_user_character('g') || die $fpwtext->error_message() . "\n";
            } elsif (length $part) {
                $fpwtext->add_text(encode('euc-jp', $part)) || die $fpwtext->error_message() . "\n";
            }
        }
        $fpwtext->add_newline() || die $fpwtext->error_message() . "\n";
    }
    $fpwword2->add_entry($head, $fpwheading->entry_position(), $fpwtext->entry_position())
        || die $fpwword2->error_message() . "\n";
}
finalize_fpwparser('text' => \$fpwtext, 'heading' => \$fpwheading, 'word2' => \$fpwword2);
)PERL";

} // namespace epwing_book_detail

// Builds the book in `workDir` (made if missing) with one subbook, "SAMPLE",
// titled `title`. Returns the book's folder (holding "catalogs"), or "" with
// the tools' output in `*log`.
inline QString makeEpwingBook(
    const QString &workDir, const QString &title, const QList<EpwingEntry> &entries, QString *log)
{
    using namespace epwing_book_detail;
    QDir dir(workDir);
    if (!dir.mkpath(QStringLiteral(".")))
        return {};
    QString source;
    for (const EpwingEntry &e : entries)
        source += e.heading + u'\n' + e.lines.join(u'\n') + QStringLiteral("\n\n");
    // A 16 by 16 dot full-width character: a frame.
    QByteArray bits;
    for (int row = 0; row < 16; ++row)
        bits += row == 0 || row == 15 ? "0xff,0xff," : "0x01,0x80,";
    const bool written = writeFile(dir.filePath(QStringLiteral("parser")), kParser)
        && writeFile(dir.filePath(QStringLiteral("entries.txt")), source.toUtf8())
        && writeFile(dir.filePath(QStringLiteral("g16.xbm")),
            "#define g_width 16\n#define g_height 16\nstatic unsigned char g_bits[] = {\n" + bits.chopped(1)
                + "};\n")
        && writeFile(dir.filePath(QStringLiteral("fullchar.txt")), "g g16.xbm\n")
        && writeFile(dir.filePath(QStringLiteral("catalogs.txt")),
            "[Catalog]\nFileName = catalogs\nType = EPWING1\nBooks = 1\n\n[Book]\nTitle = \"" + toEucJp(title)
                + "\"\nBookType = 6001\nDirectory = \"SAMPLE\"\n")
        && writeFile(dir.filePath(QStringLiteral("Makefile")),
            "FPWPARSER = parser\nFPWPARSERFLAGS = entries.txt\nFULLCHARS = fullchar.txt\nDIR = SAMPLE\n"
            "PACKAGE = sample\ninclude fpwutils.mk\n");
    if (!written)
        return {};
    QProcess make;
    make.setWorkingDirectory(workDir);
    // Under `make test` the outer make's settings (its job server) would
    // reach this one.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : { "MAKEFLAGS", "MFLAGS", "MAKELEVEL", "MAKEFILES", "GNUMAKEFLAGS" })
        env.remove(QString::fromLatin1(name));
    make.setProcessEnvironment(env);
    make.setProcessChannelMode(QProcess::MergedChannels);
    make.start(QStringLiteral("fpwmake"), { QStringLiteral("INSTALLDIR=book"), QStringLiteral("install") });
    const bool done = make.waitForFinished(120000);
    if (log)
        *log = QString::fromLocal8Bit(make.readAll()) + make.errorString();
    if (!done || make.exitStatus() != QProcess::NormalExit || make.exitCode() != 0)
        return {};
    const QString book = dir.filePath(QStringLiteral("book/SAMPLE"));
    return QFile::exists(book + QStringLiteral("/catalogs")) ? book : QString();
}
