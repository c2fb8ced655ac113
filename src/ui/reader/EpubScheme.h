// Registration of the "epub" URL scheme with Qt WebEngine. Must run before
// the QApplication is created.
#pragma once

class EpubScheme
{
public:
    // Registers "epub" with host syntax as a secure scheme. It is
    // deliberately not LocalAccessAllowed (a book page could read file://
    // URLs) and not CorsEnabled (one book could read another's entries).
    static void registerScheme();
};
