#!/usr/bin/env python3
"""Writes the decks of the kiosk benchmarks as flat ODP files, each slide one solid colour of its
own so that the slide shown can be told from one screen pixel, and beside each deck a .colours
file (one #rrggbb a line, slide 1 first) that quenvar_xbench reads. The caller converts the flat
files to .odp with the office.

    make-bench-decks.py FOLDER

  twelve-a.fodp, twelve-b.fodp  12 slides each, no colour shared between the two decks
  loop.fodp                     7 slides, shown endlessly (the show starts over after the last)"""
import importlib.util
import os
import sys

DECKS = {
    "twelve-a": (["#ff0000", "#00ff00", "#0000ff", "#ffff00", "#ff00ff", "#00ffff",
                  "#800000", "#008000", "#000080", "#808000", "#800080", "#008080"], False),
    "twelve-b": (["#ff8000", "#80ff00", "#0080ff", "#ff0080", "#8000ff", "#00ff80",
                  "#ffffff", "#c0c0c0", "#404040", "#ff8080", "#80ff80", "#8080ff"], False),
    "loop": (["#ff0000", "#ff8000", "#ffff00", "#00ff00", "#00ffff", "#0000ff", "#ff00ff"], True),
}


# The end-to-end tests' generator writes the flat ODP; only the colours and the loop are ours.
make_decks = importlib.util.module_from_spec(importlib.util.spec_from_file_location(
    "make_decks", os.path.join(os.path.dirname(__file__), "../tests/e2e/make-decks.py")))
make_decks.__spec__.loader.exec_module(make_decks)


def deck(colours, endless):
    # Endless with no pause between the last slide and the first: the loop is one more change.
    return make_decks.looping(colours) if endless else make_decks.deck(colours)


if __name__ == "__main__":
    folder = sys.argv[1]
    for name, (colours, endless) in DECKS.items():
        with open(os.path.join(folder, name + ".fodp"), "w", encoding="utf-8") as out:
            out.write(deck(colours, endless))
        with open(os.path.join(folder, name + ".colours"), "w", encoding="utf-8") as out:
            out.write("\n".join(colours) + "\n")
