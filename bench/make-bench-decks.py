#!/usr/bin/env python3
"""Writes the decks of the kiosk benchmarks as flat ODP files, each slide one solid colour of its
own so that the slide shown can be told from one screen pixel, and beside each deck a .colours
file (one #rrggbb a line, slide 1 first) that quenvar_xbench reads. The caller converts the flat
files to .odp with the office.

    make-bench-decks.py FOLDER

  twelve-a.fodp, twelve-b.fodp  12 slides each, no colour shared between the two decks
  loop.fodp                     7 slides, shown endlessly (the show starts over after the last)"""
import os
import sys

DECKS = {
    "twelve-a": (["#ff0000", "#00ff00", "#0000ff", "#ffff00", "#ff00ff", "#00ffff",
                  "#800000", "#008000", "#000080", "#808000", "#800080", "#008080"], False),
    "twelve-b": (["#ff8000", "#80ff00", "#0080ff", "#ff0080", "#8000ff", "#00ff80",
                  "#ffffff", "#c0c0c0", "#404040", "#ff8080", "#80ff80", "#8080ff"], False),
    "loop": (["#ff0000", "#ff8000", "#ffff00", "#00ff00", "#00ffff", "#0000ff", "#ff00ff"], True),
}


def deck(colours, endless):
    styles = "".join(
        f'<style:style style:name="dp{i}" style:family="drawing-page">'
        f'<style:drawing-page-properties draw:background-size="full" draw:fill="solid" '
        f'draw:fill-color="{c}"/></style:style>'
        for i, c in enumerate(colours, 1))
    pages = "".join(
        f'<draw:page draw:name="Slide{i}" draw:style-name="dp{i}" draw:master-page-name="Default"/>'
        for i in range(1, len(colours) + 1))
    # No pause between the last slide and the first: the loop is seen as one more slide change.
    settings = ('<presentation:settings presentation:endless="true" presentation:pause="PT0S"/>'
                if endless else "")
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:presentation="urn:oasis:names:tc:opendocument:xmlns:presentation:1.0"
 office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.presentation">
<office:styles/>
<office:automatic-styles>
<style:page-layout style:name="PM1"><style:page-layout-properties fo:margin-top="0cm"
 fo:margin-bottom="0cm" fo:margin-left="0cm" fo:margin-right="0cm" fo:page-width="28cm"
 fo:page-height="21cm" style:print-orientation="landscape"/></style:page-layout>
{styles}
</office:automatic-styles>
<office:master-styles><style:master-page style:name="Default" style:page-layout-name="PM1"/>
</office:master-styles>
<office:body><office:presentation>{pages}{settings}</office:presentation></office:body>
</office:document>
"""


if __name__ == "__main__":
    folder = sys.argv[1]
    for name, (colours, endless) in DECKS.items():
        with open(os.path.join(folder, name + ".fodp"), "w", encoding="utf-8") as out:
            out.write(deck(colours, endless))
        with open(os.path.join(folder, name + ".colours"), "w", encoding="utf-8") as out:
            out.write("\n".join(colours) + "\n")
