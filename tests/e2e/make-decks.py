#!/usr/bin/env python3
"""Writes the end-to-end test deck: a flat ODP of five 4:3 slides, each filled with a colour of its
own so that the slide shown can be told from one screen pixel. The caller converts it to .ppt and
.pptx with the office itself. A second path gets a second deck of three slides in other colours,
so that which of two decks is on screen can be told too; on its second slide a black box over the
centre appears on the first click, so that a click's effect can be told from a change of slide.

    make-decks.py DECK.fodp [OTHER.fodp]
    make-decks.py --looping FOLDER

With --damaged, it damages the converted deck.pptx and deck.odp of FOLDER: garbage.pptx holds
garbage in every XML part but the two that say it is a presentation (the office aborts on it);
repair.odp lacks its manifest (the office offers to repair it).

    make-decks.py --damaged FOLDER"""
import random
import sys
import zipfile

COLOURS = ["#ff0000", "#00ff00", "#0000ff", "#ffff00", "#ff00ff"]
OTHER_COLOURS = ["#00ffff", "#ff8000", "#ffffff"]


# A black box over the slide's centre that appears on a click: the slide's one effect.
BOX = ('<draw:rect draw:style-name="box" xml:id="box" draw:id="box" svg:x="9cm" svg:y="6.5cm" '
       'svg:width="10cm" svg:height="8cm"/>'
       '<anim:par presentation:node-type="timing-root">'
       '<anim:seq presentation:node-type="main-sequence">'
       '<anim:par smil:begin="next"><anim:par smil:begin="0s">'
       '<anim:par smil:begin="0s" smil:fill="hold" presentation:node-type="on-click" '
       'presentation:preset-class="entrance" presentation:preset-id="ooo-entrance-appear">'
       '<anim:set smil:begin="0s" smil:dur="0.001s" smil:fill="hold" smil:targetElement="box" '
       'smil:attributeName="visibility" smil:to="visible"/>'
       '</anim:par></anim:par></anim:par></anim:seq></anim:par>')


def deck(colours, box_on=None):
    styles = "".join(
        f'<style:style style:name="dp{i}" style:family="drawing-page">'
        f'<style:drawing-page-properties draw:background-size="full" draw:fill="solid" '
        f'draw:fill-color="{c}"/></style:style>'
        for i, c in enumerate(colours, 1))
    pages = "".join(
        f'<draw:page draw:name="Slide{i}" draw:style-name="dp{i}" '
        f'draw:master-page-name="Default">{BOX if i == box_on else ""}</draw:page>'
        for i in range(1, len(colours) + 1))
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:presentation="urn:oasis:names:tc:opendocument:xmlns:presentation:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 xmlns:smil="urn:oasis:names:tc:opendocument:xmlns:smil-compatible:1.0"
 xmlns:anim="urn:oasis:names:tc:opendocument:xmlns:animation:1.0"
 office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.presentation">
<office:styles/>
<office:automatic-styles>
<style:page-layout style:name="PM1"><style:page-layout-properties fo:margin-top="0cm"
 fo:margin-bottom="0cm" fo:margin-left="0cm" fo:margin-right="0cm" fo:page-width="28cm"
 fo:page-height="21cm" style:print-orientation="landscape"/></style:page-layout>
{styles}
<style:style style:name="box" style:family="graphic"><style:graphic-properties draw:fill="solid"
 draw:fill-color="#000000" draw:stroke="none"/></style:style>
</office:automatic-styles>
<office:master-styles><style:master-page style:name="Default" style:page-layout-name="PM1"/>
</office:master-styles>
<office:body><office:presentation>{pages}</office:presentation></office:body>
</office:document>
"""


# Looping decks, saved to loop until stopped with no pause between rounds: loop.fodp, three slides
# in deck's first colours, for a .pptx; timed-loop.fodp, whose slides move on by themselves after a
# second each, saved to show its custom show of slides 1, 3 and 4.
def looping(colours, timed=False, custom=None):
    text = deck(colours)
    if timed:
        text = text.replace('<style:drawing-page-properties ', '<style:drawing-page-properties '
                            'presentation:transition-type="automatic" presentation:duration="PT1S" ')
    show = (f' presentation:show="Kiosk"><presentation:show presentation:name="Kiosk" '
            f'presentation:pages="{",".join(f"Slide{i}" for i in custom)}"/>'
            '</presentation:settings>' if custom else '/>')
    return text.replace('</office:presentation>', '<presentation:settings presentation:endless='
                        f'"true" presentation:pause="PT0S"{show}</office:presentation>')


def damage(source, target, change):
    """Copies the package source to target, each part through change(name, data); None drops it."""
    with zipfile.ZipFile(source) as deck, zipfile.ZipFile(target, "w") as out:
        for item in deck.infolist():
            data = change(item.filename, deck.read(item))
            if data is not None:
                out.writestr(item, data)


if __name__ == "__main__" and sys.argv[1:2] == ["--looping"]:
    for name, text in [("loop.fodp", looping(COLOURS[:3])),
                       ("timed-loop.fodp", looping(COLOURS[:4], timed=True, custom=(1, 3, 4)))]:
        with open(f"{sys.argv[2]}/{name}", "w", encoding="utf-8") as out:
            out.write(text)
elif __name__ == "__main__" and sys.argv[1:2] == ["--damaged"]:
    folder, noise = sys.argv[2], random.Random(1)
    damage(f"{folder}/deck.pptx", f"{folder}/garbage.pptx", lambda name, data: data
           if name in ("[Content_Types].xml", "_rels/.rels") or not name.endswith((".xml", ".rels"))
           else noise.randbytes(len(data)))
    damage(f"{folder}/deck.odp", f"{folder}/repair.odp",
           lambda name, data: None if name == "META-INF/manifest.xml" else data)
elif __name__ == "__main__":
    for path, text in zip(sys.argv[1:3], [deck(COLOURS), deck(OTHER_COLOURS, box_on=2)]):
        with open(path, "w", encoding="utf-8") as out:
            out.write(text)
