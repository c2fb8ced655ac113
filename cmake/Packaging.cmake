# `make package` (cpack in the build tree): a Debian package of what
# `cmake --install` puts under /usr. Its dependencies are computed by
# dpkg-shlibdeps from the libraries the programs link, so they follow the
# Qt and ICU the build used.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavro)
set(CPACK_PACKAGE_VENDOR "Tavro")
set(CPACK_PACKAGE_CONTACT "Tavro <support@tavro.jp>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "E-book client for medical books (EPUB and PDF)")
set(CPACK_PACKAGE_DESCRIPTION
  "Tavro keeps EPUB and PDF books on shelves, reads them with bookmarks, highlights and memos that sync between devices, searches inside books and looks words up in installed dictionaries.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://tavro.jp/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# MeCab's library and libeb (EPWING books) come with the computed ones; the
# IPA dictionary MeCab reads the dictionary forms of Japanese words from is
# data, so it is named here. So are Qt's own Japanese texts (file dialog,
# OK / Cancel buttons), which the program loads at start: the interface is
# Japanese.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "mecab-ipadic-utf8, qt6-translations-l10n")
# On GNOME the desktop's light or dark palette reaches Qt through the GTK
# platform theme; without it the windows stay light. Without a CJK font the
# Japanese interface and books draw as boxes on a bare system.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-gtk-platformtheme, fonts-noto-cjk | fonts-ipafont")
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
include(CPack)
