#!/usr/bin/env python3
"""make-decks.py FOLDER: the test decks as flat ODP, for the office to convert. deck: five 4:3
slides, each one colour, so that one screen pixel tells the slide shown; other: three slides in
other colours, the second with one effect (a black box over the centre on the first click); loop:
looping with no pause; wide: two 16:9 slides in other's first colours; timed-loop: looping by
itself, a second a slide, over its custom show of slides 1, 3 and 4; macro: deck's slides with a
macro, run on opening, that leaves the file macro-ran in $QUENVAR_E2E_DIR.

make-decks.py --damaged FOLDER: from the converted decks, the files ImpressBackendTest.cpp shows
the office would ask about, or fail on."""
import random
import shutil
import sys
import zipfile

COLOURS = ["#ff0000", "#00ff00", "#0000ff", "#ffff00", "#ff00ff"]
OTHER_COLOURS = ["#00ffff", "#ff8000", "#ffffff"]
BOX = ('<draw:rect draw:style-name="box" xml:id="box" draw:id="box" svg:x="9cm" svg:y="6.5cm" '
       'svg:width="10cm" svg:height="8cm"/><anim:par presentation:node-type="timing-root">'
       '<anim:seq presentation:node-type="main-sequence"><anim:par smil:begin="next">'
       '<anim:par smil:begin="0s"><anim:par smil:begin="0s" smil:fill="hold" '
       'presentation:node-type="on-click" presentation:preset-class="entrance" '
       'presentation:preset-id="ooo-entrance-appear"><anim:set smil:begin="0s" '
       'smil:dur="0.001s" smil:fill="hold" smil:targetElement="box" '
       'smil:attributeName="visibility" smil:to="visible"/>'
       '</anim:par></anim:par></anim:par></anim:seq></anim:par>')
NS = " ".join(f'xmlns:{name}="urn:oasis:names:tc:opendocument:xmlns:{path}"' for name, path in [
    ("office", "office:1.0"), ("style", "style:1.0"), ("draw", "drawing:1.0"),
    ("fo", "xsl-fo-compatible:1.0"), ("presentation", "presentation:1.0"),
    ("svg", "svg-compatible:1.0"), ("smil", "smil-compatible:1.0"), ("anim", "animation:1.0"),
    ("script", "script:1.0")]) + ' xmlns:ooo="http://openoffice.org/2004/office" ' \
    'xmlns:xlink="http://www.w3.org/1999/xlink" xmlns:dom="http://www.w3.org/2001/xml-events"'
# Bound to opening the deck, and to making a new one from it, as a copy opened untitled is.
MACRO = ('<office:scripts><office:script script:language="ooo:Basic"><ooo:libraries>'
         '<ooo:library-embedded ooo:name="Standard"><ooo:module ooo:name="Opened">'
         '<ooo:source-code>Sub Ran\nOpen Environ("QUENVAR_E2E_DIR") &amp; "/macro-ran" For Output '
         'As #1\nClose #1\nEnd Sub\n</ooo:source-code></ooo:module></ooo:library-embedded>'
         '</ooo:libraries></office:script><office:event-listeners>' + "".join(
             f'<script:event-listener script:language="ooo:script" script:event-name="{event}" '
             'xlink:type="simple" xlink:href="vnd.sun.star.script:Standard.Opened.Ran?'
             'language=Basic&amp;location=document"/>' for event in ("dom:load", "office:new")) +
         '</office:event-listeners></office:scripts>')


def deck(colours, box_on=None, page="", settings="", scripts="", height="21cm"):
    styles = "".join(
        f'<style:style style:name="dp{i}" style:family="drawing-page">'
        f'<style:drawing-page-properties {page}draw:background-size="full" draw:fill="solid" '
        f'draw:fill-color="{c}"/></style:style>' for i, c in enumerate(colours, 1))
    pages = "".join(
        f'<draw:page draw:name="Slide{i}" draw:style-name="dp{i}" '
        f'draw:master-page-name="Default">{BOX if i == box_on else ""}</draw:page>'
        for i in range(1, len(colours) + 1))
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<office:document {NS} office:version="1.3"
 office:mimetype="application/vnd.oasis.opendocument.presentation">
{scripts}<office:styles/><office:automatic-styles>
<style:page-layout style:name="PM1"><style:page-layout-properties fo:margin-top="0cm"
 fo:margin-bottom="0cm" fo:margin-left="0cm" fo:margin-right="0cm" fo:page-width="28cm"
 fo:page-height="{height}" style:print-orientation="landscape"/></style:page-layout>{styles}
<style:style style:name="box" style:family="graphic"><style:graphic-properties draw:fill="solid"
 draw:fill-color="#000000" draw:stroke="none"/></style:style></office:automatic-styles>
<office:master-styles><style:master-page style:name="Default" style:page-layout-name="PM1"/>
</office:master-styles><office:body><office:presentation>{pages}{settings}</office:presentation>
</office:body></office:document>"""


LOOP = '<presentation:settings presentation:endless="true" presentation:pause="PT0S"'


def looping(colours):
    return deck(colours, settings=LOOP + "/>")


DECKS = {
    "deck": deck(COLOURS),
    "other": deck(OTHER_COLOURS, box_on=2),
    "loop": looping(COLOURS[:3]),
    "macro": deck(COLOURS, scripts=MACRO),
    "wide": deck(OTHER_COLOURS[:2], height="15.75cm"),
    "timed-loop": deck(COLOURS[:4], settings=LOOP + ' presentation:show="Kiosk">'
                       '<presentation:show presentation:name="Kiosk" presentation:pages='
                       '"Slide1,Slide3,Slide4"/></presentation:settings>',
                       page='presentation:transition-type="automatic" '
                       'presentation:duration="PT1S" '),
}


def damage(source, target, change):
    """Copies the package source to target, each part through change(name, data); None drops it."""
    with zipfile.ZipFile(source) as deck, zipfile.ZipFile(target, "w") as out:
        for item in deck.infolist():
            data = change(item.filename, deck.read(item))
            if data is not None:
                out.writestr(item, data)


if __name__ == "__main__" and sys.argv[1] == "--damaged":
    folder, noise = sys.argv[2], random.Random(1)
    damage(f"{folder}/deck.pptx", f"{folder}/garbage.pptx", lambda name, data: data
           if name in ("[Content_Types].xml", "_rels/.rels") or not name.endswith((".xml", ".rels"))
           else noise.randbytes(len(data)))
    damage(f"{folder}/deck.odp", f"{folder}/repair.odp",
           lambda name, data: None if name == "META-INF/manifest.xml" else data)
    with open(f"{folder}/notes.txt", "w") as out:
        out.write("This is not a presentation.\n")
    shutil.copy(f"{folder}/deck.ppt", f"{folder}/deck.pps")
    for name in ["Vortrag #1, 100% Größe.pptx", "locked.pptx"]:
        shutil.copy(f"{folder}/deck.pptx", f"{folder}/{name}")
    with open(f"{folder}/.~lock.locked.pptx#", "w") as out:
        out.write("Someone,someone,kiosk-2,01.02.2024 10:00,file:///home/someone/.config/lo;\n")
elif __name__ == "__main__":
    for name, text in DECKS.items():
        with open(f"{sys.argv[1]}/{name}.fodp", "w", encoding="utf-8") as out:
            out.write(text)
