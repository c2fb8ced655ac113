#!/usr/bin/env python3
"""Writes Tavro's own sample content: EPUB 2 and EPUB 3 books, PDF books with
and without an outline (one with a ".toc" side file), store packages with a
"bookinfo.meta" manifest, and a dictionary package.

    make_samples.py --out DIR            books/ and packages/
    make_samples.py --resources DIR      starburst.gif, ylw-pushpin.png, sample/
    ... --cover-tool PROGRAM             books get covers with their title and
                                         author drawn by PROGRAM (tavro-make-cover);
                                         without it, plain striped covers
    make_samples.py --big FILE --entries N --entry-kb K
                                         one EPUB with N chapters of about K KiB

Everything is generated from the texts below; nothing is downloaded.
"""
import argparse
import json
import os
import random
import struct
import subprocess
import tempfile
import zipfile
import zlib

# ---------------------------------------------------------------- images

def png(width, height, pixel):
    """A truecolour PNG; pixel(x, y) -> (r, g, b)."""
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            raw.extend(pixel(x, y))

    def chunk(kind, data):
        c = struct.pack(">I", len(data)) + kind + data
        return c + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def cover_png(hue):
    base = [(40, 90, 160), (150, 40, 60), (30, 120, 80), (120, 80, 30), (90, 50, 140)][hue % 5]

    def pixel(x, y):
        band = (y // 40) % 2
        edge = x < 12 or x > 287 or y < 12 or y > 387
        if edge:
            return (250, 250, 245)
        return tuple(min(255, c + 40 * band) for c in base)
    return png(300, 400, pixel)


COVER_TOOL = None


def book_cover(title, creator, hue, publisher):
    """The designed cover of a book when the cover tool is given, else the
    striped one."""
    if not COVER_TOOL:
        return cover_png(hue)
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "cover.png")
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        subprocess.run([COVER_TOOL, out, title, creator, str(hue), publisher], check=True, env=env)
        with open(out, "rb") as f:
            return f.read()


def figure_png():
    def pixel(x, y):
        r = ((x - 80) ** 2 + (y - 60) ** 2) ** 0.5
        return (255, 255, 255) if r > 50 else (200, 30, 40) if r > 30 else (255, 210, 210)
    return png(160, 120, pixel)


def gif_2colour(width, height, on):
    """An uncompressed-LZW GIF with two colours (clear code before every
    run of codes, so the code size never grows)."""
    header = b"GIF89a" + struct.pack("<HHBBB", width, height, 0x80, 0, 0)
    palette = bytes([255, 255, 255, 230, 160, 0])
    image = b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0)
    min_code = 2
    clear, end = 4, 5
    codes = []
    pixels = [1 if on(x, y) else 0 for y in range(height) for x in range(width)]
    for i, p in enumerate(pixels):
        if i % 2 == 0:
            codes.append(clear)
        codes.append(p)
    codes.append(end)
    bits = 0
    nbits = 0
    out = bytearray()
    for c in codes:
        bits |= c << nbits
        nbits += 3
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8
    if nbits:
        out.append(bits & 0xFF)
    blocks = b"".join(bytes([len(out[i:i + 255])]) + bytes(out[i:i + 255]) for i in range(0, len(out), 255))
    return header + palette + image + bytes([min_code]) + blocks + b"\x00\x3b"

# ------------------------------------------------------------------ texts

TOPICS = [
    ("Anatomy of the Heart", "The heart has four chambers. The right atrium receives venous blood; "
     "the left ventricle pumps oxygenated blood into the aorta."),
    ("Cardiac Cycle", "Systole and diastole alternate. The first heart sound marks the closure of the "
     "atrioventricular valves. A resting rate over 100 per minute is tachycardia, one under 60 "
     "bradycardia; anemia can speed it up."),
    ("Blood Pressure", "Arterial pressure depends on cardiac output and peripheral resistance. "
     "Measure it at rest, seated, with a cuff of the right size."),
    ("Respiratory Physiology", "Tidal volume, vital capacity and residual volume describe the lungs. "
     "Gas exchange takes place in the alveoli."),
    ("Renal Function", "The nephron filters plasma in the glomerulus and reabsorbs water and solutes "
     "along the tubule."),
    ("Pharmacokinetics", "Absorption, distribution, metabolism and excretion decide the concentration "
     "of a drug over time. The half-life follows from clearance and volume."),
    ("Emergency Triage", "Airway, breathing and circulation come first. Reassess every patient after "
     "each intervention."),
    ("Infection Control", "Hand hygiene before and after every patient contact prevents most "
     "hospital-acquired infections."),
]

JA_TOPICS = [
    ("薬物動態学の基礎", "吸収・分布・代謝・排泄の四つの過程が血中濃度を決める。半減期は全身クリアランスと分布容積から求められる。"
     "高血圧や糖尿病の薬を長く飲む患者では、この四つの過程を知ることが安全な処方の第一歩になる。"),
    ("腎機能と投与設計", "腎排泄型の薬物では、クレアチニンクリアランスに応じて投与量を調整する。"
     "腎不全の患者では半減期が延び、常用量でも副作用が出やすい。"),
    ("相互作用", "肝臓の代謝酵素を阻害する薬物は、併用薬の血中濃度を上げることがある。"
     "心筋梗塞の後に抗血小板薬を飲む患者や、肺炎で抗菌薬を使う患者では、併用薬を必ず確かめる。"),
]

CSS = """body { font-family: serif; line-height: 1.6; margin: 1em; }
h1 { color: rgb(20, 60, 120); font-size: 1.6em; border-bottom: 2px solid rgb(20, 60, 120); }
p.note { background-color: rgb(255, 248, 220); padding: 0.5em; }
img.figure { width: 160px; height: 120px; }
"""

# ------------------------------------------------------------------- EPUB

def xhtml(title, paragraphs, lang="en", image=None, css="style.css", extra=""):
    body = "".join("<p>%s</p>\n" % p for p in paragraphs)
    img = '<p><img class="figure" src="%s" alt="figure"/></p>\n' % image if image else ""
    return ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.1//EN\" \"http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd\">\n"
            "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"%s\">\n<head><title>%s</title>\n"
            "<link rel=\"stylesheet\" type=\"text/css\" href=\"%s\"/></head>\n<body>\n<h1 id=\"top\">%s</h1>\n%s%s"
            "<p class=\"note\" id=\"summary\">%s</p>\n%s</body>\n</html>\n"
            % (lang, title, css, title, body, img, paragraphs[0] if paragraphs else "", extra))


def write_epub(path, files):
    """files: list of (name, bytes); "mimetype" is written first, stored."""
    with zipfile.ZipFile(path, "w") as z:
        z.writestr(zipfile.ZipInfo("mimetype"), b"application/epub+zip", compress_type=zipfile.ZIP_STORED)
        for name, data in files:
            info = zipfile.ZipInfo(name, date_time=(2024, 4, 1, 12, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.flag_bits |= 0x800  # UTF-8 names
            z.writestr(info, data)


CONTAINER = ("<?xml version=\"1.0\"?>\n<container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">\n"
             "<rootfiles><rootfile full-path=\"%s\" media-type=\"application/oebps-package+xml\"/></rootfiles>\n</container>\n")


def epub2(path, ident, title, creator, chapters, lang="en", date="2014-4-1", splash=None,
          print_flag=None, hue=0, nested_toc=True, publisher="Tavro Medical Press"):
    """An EPUB 2 book under OEBPS/ with a cover, a style sheet, one figure,
    an NCX whose first chapter has nested sections."""
    files = [("META-INF/container.xml", (CONTAINER % "OEBPS/content.opf").encode())]
    manifest = ['<item id="ncx" href="toc.ncx" media-type="application/x-dtbncx+xml"/>',
                '<item id="css" href="style.css" media-type="text/css"/>',
                '<item id="cover-image" href="images/cover.png" media-type="image/png"/>',
                '<item id="figure" href="images/figure 1.png" media-type="image/png"/>']
    spine = []
    navpoints = []
    for i, (heading, text) in enumerate(chapters, start=1):
        name = "text/chapter%02d.xhtml" % i
        extra = '<p><a href="chapter%02d.xhtml#summary">next</a></p>' % (i + 1) if i < len(chapters) else ""
        files.append(("OEBPS/" + name, xhtml(heading, [text, text[::-1] if lang == "xx" else text],
                                               lang, "../images/figure%201.png", "../style.css", extra).encode()))
        manifest.append('<item id="ch%d" href="%s" media-type="application/xhtml+xml"/>' % (i, name))
        spine.append('<itemref idref="ch%d"/>' % i)
        sub = ""
        if nested_toc and i == 1:
            sub = ('<navPoint id="np1-1" playOrder="%d"><navLabel><text>%s (summary)</text></navLabel>'
                   '<content src="%s#summary"/></navPoint>' % (i * 10 + 1, heading, name))
        navpoints.append('<navPoint id="np%d" playOrder="%d"><navLabel><text>%s</text></navLabel>'
                         '<content src="%s"/>%s</navPoint>' % (i, i * 10, heading, name, sub))
    files.append(("OEBPS/style.css", CSS.encode()))
    files.append(("OEBPS/images/cover.png", book_cover(title, creator, hue, publisher)))
    files.append(("OEBPS/images/figure 1.png", figure_png()))
    meta = ['<dc:identifier id="bookid">%s</dc:identifier>' % ident,
            '<dc:title>%s</dc:title>' % title,
            '<dc:creator opf:role="aut">%s</dc:creator>' % creator,
            '<dc:publisher>%s</dc:publisher>' % publisher,
            '<dc:language>%s</dc:language>' % lang,
            '<dc:date>%s</dc:date>' % date,
            '<meta name="cover" content="cover-image"/>']
    if splash:
        meta.append('<dc:splash>%s</dc:splash>' % splash)
        # The splash the reader shows first (PNG bytes; readers go by content).
        files.append(("OEBPS/splash_image1.jpg", cover_png(hue)))
    if print_flag is not None:
        meta.append('<meta name="print" content="%s"/>' % print_flag)
    opf = ('<?xml version="1.0" encoding="UTF-8"?>\n<package xmlns="http://www.idpf.org/2007/opf" '
           'unique-identifier="bookid" version="2.0">\n<metadata xmlns:dc="http://purl.org/dc/elements/1.1/" '
           'xmlns:opf="http://www.idpf.org/2007/opf">\n%s\n</metadata>\n<manifest>\n%s\n</manifest>\n'
           '<spine toc="ncx">\n%s\n</spine>\n</package>\n'
           % ("\n".join(meta), "\n".join(manifest), "\n".join(spine)))
    ncx = ('<?xml version="1.0" encoding="UTF-8"?>\n<ncx xmlns="http://www.daisy.org/z3986/2005/ncx/" version="2005-1">\n'
           '<head><meta name="dtb:uid" content="%s"/></head>\n<docTitle><text>%s</text></docTitle>\n'
           '<navMap>\n%s\n</navMap>\n</ncx>\n' % (ident, title, "\n".join(navpoints)))
    files.append(("OEBPS/content.opf", opf.encode()))
    files.append(("OEBPS/toc.ncx", ncx.encode()))
    write_epub(path, files)


def epub3(path, ident, title, creator, chapters):
    """An EPUB 3 book with a navigation document and no NCX; the OPF sits at
    the top of the archive and the chapters in a subfolder."""
    files = [("META-INF/container.xml", (CONTAINER % "package.opf").encode())]
    manifest = ['<item id="nav" href="nav/nav.xhtml" properties="nav" media-type="application/xhtml+xml"/>',
                '<item id="css" href="style.css" media-type="text/css"/>',
                '<item id="cover" href="cover.png" properties="cover-image" media-type="image/png"/>']
    spine, items = [], []
    for i, (heading, text) in enumerate(chapters, start=1):
        name = "chapters/c%d.xhtml" % i
        files.append((name, xhtml(heading, [text], "en", None, "../style.css").encode()))
        manifest.append('<item id="c%d" href="%s" media-type="application/xhtml+xml"/>' % (i, name))
        spine.append('<itemref idref="c%d"/>' % i)
        sub = ""
        if i == 2:
            sub = '<ol><li><a href="../chapters/c2.xhtml#summary">Summary</a></li></ol>'
        items.append('<li id="toc-%d"><a href="../%s">%s</a>%s</li>' % (i, name, heading, sub))
    nav = ('<?xml version="1.0" encoding="UTF-8"?>\n<html xmlns="http://www.w3.org/1999/xhtml" '
           'xmlns:epub="http://www.idpf.org/2007/ops"><head><title>Contents</title></head><body>\n'
           '<nav epub:type="landmarks"><ol><li><a epub:type="bodymatter" href="../chapters/c1.xhtml">Start</a></li></ol></nav>\n'
           '<nav epub:type="toc" id="toc"><h1>Contents</h1><ol>%s</ol></nav>\n</body></html>\n' % "".join(items))
    opf = ('<?xml version="1.0" encoding="UTF-8"?>\n<package xmlns="http://www.idpf.org/2007/opf" version="3.0" '
           'unique-identifier="uid">\n<metadata xmlns:dc="http://purl.org/dc/elements/1.1/">\n'
           '<dc:identifier id="uid">%s</dc:identifier>\n<dc:title>%s</dc:title>\n<dc:creator>%s</dc:creator>\n'
           '<dc:language>en</dc:language>\n<dc:date>2021-10-5</dc:date>\n'
           '<meta property="dcterms:modified">2021-10-05T00:00:00Z</meta>\n</metadata>\n<manifest>\n%s\n</manifest>\n'
           '<spine>\n%s\n</spine>\n</package>\n' % (ident, title, creator, "\n".join(manifest), "\n".join(spine)))
    files += [("package.opf", opf.encode()), ("nav/nav.xhtml", nav.encode()), ("style.css", CSS.encode()),
              ("cover.png", book_cover(title, creator, 4, "Tavro Medical Press"))]
    write_epub(path, files)

# -------------------------------------------------------------------- PDF

def pdf(path, title, pages, outline=None):
    """A PDF with one page of Helvetica text per entry of `pages` (ASCII).
    outline: list of (title, page index, [children]) or None."""
    objects = []

    def add(body):
        objects.append(body)
        return len(objects)

    catalog = add(None)
    pages_obj = add(None)
    font = add(b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
    page_ids = []
    for i, (heading, text) in enumerate(pages):
        lines = [heading, ""] + [text[j:j + 70] for j in range(0, len(text), 70)] + ["", "Page %d" % (i + 1)]
        stream = "BT /F1 14 Tf 60 760 Td 18 TL\n" + "".join(
            "(%s) Tj T*\n" % l.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)") for l in lines) + "ET"
        content = add(b"<< /Length %d >>\nstream\n%s\nendstream" % (len(stream), stream.encode("latin-1")))
        page_ids.append(add(("<< /Type /Page /Parent %d 0 R /MediaBox [0 0 595 842] /Contents %d 0 R "
                             "/Resources << /Font << /F1 %d 0 R >> >> >>" % (pages_obj, content, font)).encode()))
    objects[pages_obj - 1] = ("<< /Type /Pages /Kids [%s] /Count %d >>"
                              % (" ".join("%d 0 R" % p for p in page_ids), len(page_ids))).encode()
    outline_ref = ""
    if outline:
        root = add(None)

        def build(entries, parent):
            ids = [add(None) for _ in entries]
            for k, (name, page, children) in enumerate(entries):
                d = "<< /Title (%s) /Parent %d 0 R /Dest [%d 0 R /XYZ 0 842 0]" % (name, parent, page_ids[page])
                if k > 0:
                    d += " /Prev %d 0 R" % ids[k - 1]
                if k + 1 < len(ids):
                    d += " /Next %d 0 R" % ids[k + 1]
                if children:
                    first, last = build(children, ids[k])
                    d += " /First %d 0 R /Last %d 0 R /Count %d" % (first, last, len(children))
                objects[ids[k] - 1] = (d + " >>").encode()
            return ids[0], ids[-1]

        first, last = build(outline, root)
        objects[root - 1] = ("<< /Type /Outlines /First %d 0 R /Last %d 0 R /Count %d >>"
                             % (first, last, len(outline))).encode()
        outline_ref = " /Outlines %d 0 R /PageMode /UseOutlines" % root
    info = add(("<< /Title (%s) /Producer (Tavro sample generator) >>" % title).encode())
    objects[catalog - 1] = ("<< /Type /Catalog /Pages %d 0 R%s >>" % (pages_obj, outline_ref)).encode()

    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for n, body in enumerate(objects, start=1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % n + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for o in offsets:
        out += b"%010d 00000 n \n" % o
    out += b"trailer\n<< /Size %d /Root %d 0 R /Info %d 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (
        len(objects) + 1, catalog, info, xref)
    with open(path, "wb") as f:
        f.write(out)

# --------------------------------------------------------------- packages

def package(path, entries, files):
    """A store package: "bookinfo.meta" and the files it names."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("bookinfo.meta", json.dumps({"bookinfo": entries}, ensure_ascii=False, indent=1).encode())
        for name, data in files:
            info = zipfile.ZipInfo(name, date_time=(2024, 4, 1, 12, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.flag_bits |= 0x800
            z.writestr(info, data)


GLOSSARY = [
    ("見出し語", "読み", "意味", "分野", "備考"),
    ("心筋梗塞", "しんきんこうそく", "myocardial infarction", "循環器", "冠動脈の閉塞による心筋の壊死"),
    ("高血圧", "こうけつあつ", "hypertension", "循環器", "収縮期140mmHg以上"),
    ("肺炎", "はいえん", "pneumonia", "呼吸器", ""),
    ("糖尿病", "とうにょうびょう", "diabetes mellitus", "内分泌", "HbA1c 6.5%以上"),
    ("腎不全", "じんふぜん", "renal failure", "腎臓", ""),
    ("tachycardia", "", "heart rate above 100 per minute", "cardiology", "\"sinus\" or not"),
    ("bradycardia", "", "heart rate below 60 per minute", "cardiology", ""),
    ("anemia", "", "low haemoglobin, concentration below normal", "haematology", ""),
]


def csv_text(rows):
    def field(f):
        return '"%s"' % f.replace('"', '""') if any(c in f for c in ',"\n') else f
    return "".join(",".join(field(f) for f in row) + "\r\n" for row in rows)


def write_all(out):
    books = os.path.join(out, "books")
    packages = os.path.join(out, "packages")
    for d in (books, packages):
        os.makedirs(d, exist_ok=True)

    epub2(os.path.join(books, "anatomy-basics.epub"), "urn:tavro:anatomy-basics", "Anatomy Basics",
          "Hanako Sato", TOPICS[:4], print_flag=1, hue=0)
    epub2(os.path.join(books, "Emergency Medicine Handbook.epub"), "urn:tavro:emergency-handbook",
          "Emergency Medicine Handbook", "Ken Ito", TOPICS[6:8], splash="splash.png", hue=1, date="2019-11-20")
    epub2(os.path.join(books, "臨床薬理学ノート.epub"), "urn:tavro:clinical-pharmacology",
          "臨床薬理学ノート", "山田太郎", JA_TOPICS, lang="ja", hue=2, print_flag=0, date="2014/4/1")
    epub3(os.path.join(books, "cardiology-epub3.epub"), "urn:tavro:cardiology-3", "Cardiology Today",
          "Mariko Tanaka", TOPICS[0:3])

    pdf_pages = [(t, x) for t, x in TOPICS[3:7]]
    pdf(os.path.join(books, "respiratory-atlas.pdf"), "Respiratory Atlas", pdf_pages,
        outline=[("Respiratory Physiology", 0, [("Gas exchange", 0, [])]), ("Renal Function", 1, []),
                 ("Pharmacokinetics", 2, []), ("Emergency Triage", 3, [])])
    pdf(os.path.join(books, "nursing-notes.pdf"), "Nursing Notes", [TOPICS[7], TOPICS[2]])
    toc = {"toc": [{"title": "Respiratory Physiology", "pageNumber": 1, "author": "Jiro Kato",
                    "sub": [{"title": "Gas exchange", "pageNumber": 1}]},
                   {"title": "Renal Function", "pageNumber": 2}, {"title": "Pharmacokinetics", "pageNumber": 3},
                   {"title": "Emergency Triage", "pageNumber": 4}]}
    with open(os.path.join(books, "respiratory-atlas.toc"), "w", encoding="utf-8") as f:
        json.dump(toc, f, ensure_ascii=False, indent=1)

    def read(name):
        with open(os.path.join(books, name), "rb") as f:
            return f.read()

    package(os.path.join(packages, "pkg-respiratory.zip"),
            [{"filename": "respiratory-atlas.pdf", "bookId": "pdf-respiratory-atlas",
              "bookTitle": "Respiratory Atlas", "bookAuthor": "Jiro Kato", "bookPublisher": "Tavro Medical Press"}],
            [("respiratory-atlas.pdf", read("respiratory-atlas.pdf")),
             ("respiratory-atlas.toc", read("respiratory-atlas.toc"))])
    package(os.path.join(packages, "pkg-anatomy.zip"),
            [{"filename": "anatomy-basics.epub", "bookId": "epub-anatomy-basics", "bookTitle": "Anatomy Basics",
              "bookAuthor": "Hanako Sato", "bookPublisher": "Tavro Medical Press"}],
            [("anatomy-basics.epub", read("anatomy-basics.epub"))])
    package(os.path.join(packages, "pkg-glossary.zip"),
            [{"filename": "medical-glossary.dict", "bookId": "dict-medical-glossary",
              "bookTitle": "医学用語集", "bookAuthor": "Tavro", "bookPublisher": "Tavro Medical Press"}],
            [("medical-glossary.dict", csv_text(GLOSSARY).encode("utf-8"))])



def write_resources(out):
    """The images served under every book, and the sample books."""
    sample = os.path.join(out, "sample")
    os.makedirs(sample, exist_ok=True)

    def star(x, y):
        dx, dy = x - 8, y - 8
        return abs(dx) + abs(dy) < 6 or dx == 0 or dy == 0 or abs(dx) == abs(dy)
    with open(os.path.join(out, "starburst.gif"), "wb") as f:
        f.write(gif_2colour(17, 17, star))

    def pin(x, y):
        r = ((x - 12) ** 2 + (y - 9) ** 2) ** 0.5
        if r < 7:
            return (240, 200, 20) if r < 5 else (180, 140, 0)
        if 10 <= x <= 13 and 15 <= y <= 30 - (13 - x):
            return (120, 120, 120)
        return (255, 255, 255)
    with open(os.path.join(out, "ylw-pushpin.png"), "wb") as f:
        f.write(png(24, 32, pin))
    try_dictionary = ("Try the Dictionary", "Download the dictionary 医学用語集 from the store, then select a "
                      "word such as 高血圧, 糖尿病, 心筋梗塞 or tachycardia in a book and choose 辞書 from the "
                      "context menu: its entry opens beside the text.")
    epub2(os.path.join(sample, "welcome.epub"), "urn:tavro:sample-welcome", "Welcome to Tavro",
          "Tavro", TOPICS[:2] + [try_dictionary], hue=3)


def write_big(path, entries, entry_kb):
    """One EPUB with `entries` chapters of about `entry_kb` KiB each, with
    words drawn at random so that they deflate like real text."""
    rng = random.Random(7)
    words = " ".join(t for _, t in TOPICS).split()
    chapters = []
    for i in range(entries):
        text = []
        size = 0
        while size < entry_kb * 1024:
            sentence = " ".join(rng.choice(words) for _ in range(14)) + "."
            text.append(sentence)
            size += len(sentence) + 8
        chapters.append(("Chapter %d" % (i + 1), " ".join(text)))
    epub2(path, "urn:tavro:big-%d" % entries, "Big Book", "Benchmark", chapters, nested_toc=False)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out")
    ap.add_argument("--resources")
    ap.add_argument("--big")
    ap.add_argument("--entries", type=int, default=2000)
    ap.add_argument("--entry-kb", type=int, default=50)
    ap.add_argument("--cover-tool")
    args = ap.parse_args()
    global COVER_TOOL
    COVER_TOOL = args.cover_tool
    if args.out:
        write_all(args.out)
    if args.resources:
        write_resources(args.resources)
    if args.big:
        write_big(args.big, args.entries, args.entry_kb)


if __name__ == "__main__":
    main()
