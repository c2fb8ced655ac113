#!/usr/bin/env python3
"""Converts Debian's EDICT file (EUC-JP, "KANJI [KANA] /gloss/gloss/.../")
into a dictionary CSV for the importer: a header line, then headword,
reading and glosses (joined with "; ") per entry.

    edict_to_csv.py [--edict /usr/share/edict/edict] --out edict.csv [--limit N] [--grep REGEX]
"""
import argparse
import csv
import re
import sys

LINE = re.compile(r"^(?P<word>\S+)(?: \[(?P<reading>[^\]]+)\])? /(?P<glosses>.*)/\s*$")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--edict", default="/usr/share/edict/edict")
    ap.add_argument("--out", required=True)
    ap.add_argument("--limit", type=int, default=0)
    ap.add_argument("--grep", help="keep only headwords matching this regular expression")
    args = ap.parse_args()
    count = 0
    keep = re.compile(args.grep) if args.grep else None
    with open(args.edict, encoding="euc_jp", errors="replace") as src, \
            open(args.out, "w", encoding="utf-8", newline="") as dst:
        out = csv.writer(dst, lineterminator="\r\n")
        out.writerow(["word", "reading", "meaning"])
        for n, line in enumerate(src):
            if n == 0:  # the file's own header entry
                continue
            m = LINE.match(line.rstrip("\n"))
            if not m:
                continue
            if keep and not keep.search(m.group("word")):
                continue
            glosses = [g for g in m.group("glosses").split("/") if g and not g.startswith("EntL")]
            out.writerow([m.group("word"), m.group("reading") or "", "; ".join(glosses)])
            count += 1
            if args.limit and count >= args.limit:
                break
    print("%d entries" % count, file=sys.stderr)


if __name__ == "__main__":
    main()
