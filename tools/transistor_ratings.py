"""Absolute maximum ratings of the library's types, from public sources.

Used by import_spice_models.py, which writes the result as
resources/transistors/norvane-ratings.tsv beside the library. Python 3
standard library only; the output is deterministic.

What is collected
=================

Three figures per type, in SI units: VCEO (V), IC max (A, the continuous
collector current) and Ptot (W), with the package where a source names one.
Each source states them in its own form:

  Model files (the SPICE libraries the cards come from)
    ltspice-*     `Vceo=` and `Icrating=` on LTspice-style cards (also
                  `Icrating=100m`, `ICRATING=100M`: M is milli here too).
    cordell, orcad  the same parameters on Cordell's and one OrCAD card.
    intusoft      `*SRC=NAME;MODEL;BJTs NPN;TYPE;25V 500mA` lines before a
                  card, and `*PINOUT TO-92 3 2 1` (the package) after it;
                  where the *SRC line states no ratings, the block's
                  `* 200 Volt 1.5 Amp SiNPN Power Transistor` comment.
    central       the same *SRC form in Central Semiconductor's files
                  (`180.0V 0.60A 300MHz`).
    motorola      `** pdmax= 75W icmax= 10A vcemax= 600V ... case= to-220`
                  limit lines before a card (Analogy for Motorola).
    fairchild     `* Vcbo (40V) & Vceo (20V)` in a file of one card,
                  `* Collector Dissipation Pc=1W` before a card.
    trt, japanese `*Low Noise Amp PC=0.4W Ic=0.15A Vcbo=60V`,
                  `*2SA1114(VCBO=70V,IC=200ma,PC=500mW)` before a card
                  (VCBO is no VCEO and is not read).
  Rating collections (/work/shared/ratings, see its SOURCES.md)
    qucs-s        Qucs-S component descriptions ("Si npn 500mW 40V 800mA
                  300MHz pkg:TO-18", "45V, 100mA, 250mW, 300MHz",
                  "BVceo: BD135 45V / BD137 60V / BD139 80V").
    kicad-symbols KiCad 6 symbol descriptions ("0.1A Ic, 45V Vce, ...,
                  TO-92").
    kicad-schlib  Chris Pavlina's symbol descriptions ("NPN 30V 800mA
                  800mW [TO-39]").
    ctt-profiles  CTT transistor profiles (CE= IC= PD= PC=).

A statement counts only if it is unambiguous: a line with two voltages
(`10V 25mA/25V 100mA`), a misspelt unit (`50B`), a current given as a
condition (`Ic=80mA`, a bias point of the NEC RF models; the `10V 10mA` of
the Intusoft RF models, the point they were fitted at), a field that is
no plain number (`PD=70m`, `IC=?`) or a statement whose polarity contradicts
the library's card (another device of the same name) is left out and
listed in PROVENANCE.md. Negative values of PNP types are read as their
magnitude. Values outside what any bipolar transistor has (VCEO outside
1 V .. 2 kV, IC outside 1 mA .. 200 A, Ptot outside 10 mW .. 1 kW) are
typos and left out too.

Names
  A statement names a type as the library does (upper case): the *SRC
  name field, the Qucs-S component, the symbol, the profile; on cards the
  name the importer gives the card (Q prefix and vendor tags removed).
  Only a card's own parameters count: `ako:` copies of another card's
  parameters do not copy its ratings.

Gain groups
  A gain group shares the ratings of its family (one data sheet, the
  groups differ only in hFE), so the family's statements also count for
  the group, marked `source(FAMILY)`:
    * Pro Electron small-signal types `BC...` with a group letter A, B or
      C (BC548B -> BC548; BC107A -> BC107), and Zetex's versions of them
      named with a trailing P (BC548BP -> BC548B -> BC548; Qucs-S rates
      them as their families);
    * Pro Electron types with a numbered gain group (BC337-25 -> BC337,
      BD139-16 -> BD139, BCY58-9 -> BCY58);
    * Japanese 2S types with an hFE rank O, Y, GR or BL (2SC1815GR ->
      2SC1815).
  Letters that mark another voltage grade or version are no gain group
  and never borrow: 2N2222A is not 2N2222, TIP31C not TIP31, BD244C not
  BD244, 2SA673A not 2SA673. A family never borrows from its groups, nor
  a group from another group, nor a type from a family of the other
  polarity (BC847BP is the PNP half of the pair BC847BPN, not a group of
  BC847B).

Models of a part
  Cordell's models are named after the part they model with a C appended
  (2N3904C, BD139C, MJE340C; the index at the head of cordell.mod lists the
  parts). A library type whose card is one of them has the part's
  statements (and its families') as well, marked `source(PART)`.

Choosing
  Each figure is the LOWEST value any statement gives (a source that
  gives VCBO for VCEO, or the case rating for Ptot, is then outvoted by
  the ambient one), with every source that gives it. Where the statements
  of a type disagree on a figure, all values seen are kept with their
  sources. The package is the one named by a statement of the chosen Ptot;
  without one, the package all package statements of the type agree on;
  otherwise none.
"""

from __future__ import annotations

import collections
import decimal
import os
import re
from dataclasses import dataclass

FIELDS = ("vceo", "ic_max", "ptot")

# Plausible ranges; values outside are typos of the source.
PLAUSIBLE = {
    "vceo": (decimal.Decimal("1"), decimal.Decimal("2000")),
    "ic_max": (decimal.Decimal("0.001"), decimal.Decimal("200")),
    "ptot": (decimal.Decimal("0.01"), decimal.Decimal("1000")),
}

KICAD = "kicad-spice-library_KiCad-Spice-Library/Models/"
SC = KICAD + "uncategorized/spice_complete/"
BEL = KICAD + "uncategorized/Bordodynovs Electronics Lib/"
PICLI = "picli3_spice-models/"
TANG = "tang5722917_Ngspice_Apply/Ngspice_Sim/Spice_Lib/BJT/"

# Source ids, as they appear in the ratings file, with their description.
SOURCE_DESCRIPTIONS = {
    "ltspice-2020": "LTspice standard.bjt 2000-2020 (Bordodynovs Electronics "
                    "Lib cmp/standard.bjt): Vceo= Icrating= on the cards",
    "ltspice-2014": "LTspice standard.bjt 2014 (KiCad-Spice-Library "
                    "Transistor/BJT/BJT.lib): Vceo= Icrating= on the cards",
    "ltspice-old": "LTspice standard.bjt, old (picli3 standard_bjt.lib): "
                   "Vceo= Icrating= on the cards",
    "ltspice-orig": "LTspice standard.bjt, original (Bordodynovs Electronics "
                    "Lib cmp/Original): Vceo= Icrating= on the cards",
    "ltspice-orig4": "LTspice standard.bjt, original IV (Bordodynovs "
                     "Electronics Lib cmp/Original_IV): Vceo= Icrating= on "
                     "the cards",
    "cordell": "Cordell Audio models (Cordell_Mods): Vceo= Icrating= on the "
               "cards",
    "orcad": "OrCAD PSpice bipolar.lib: Vceo= Icrating= on a card",
    "intusoft": "Intusoft libraries (BJTN, BJTP, POWBJT, RF ...): *SRC= "
                "lines (VCEO, often VCBO instead; IC), block comments, "
                "*PINOUT lines (package)",
    "central": "Central Semiconductor model files: *SRC= lines (VCEO, here "
               "VCBO; IC)",
    "motorola": "Motorola/Analogy limit comments (m_powbjt.lib, "
                "onsemi.lib): pdmax= icmax= vcemax= case=",
    "fairchild": "Fairchild files: Vceo comment (SS9012, SS9013), "
                 "Collector Dissipation Pc= (fairch.lib)",
    "trt": "TRT-Electronics single-card files: PC= Ic= comment",
    "japanese": "Japanese types collection (Ngspice_Apply BJT.mod): IC= PC= "
                "comments",
    "qucs-s": "Qucs-S Transistors.lib component descriptions",
    "kicad-symbols": "KiCad 6.0.10 Transistor_BJT symbol descriptions",
    "kicad-schlib": "kicad-schlib (C. Pavlina) semi-trans-*.dcm symbol "
                    "descriptions",
    "ctt-profiles": "CTT transistor tester profiles (profiles/*.pro)",
}

# Model files whose cards carry Vceo=/Icrating=.
CARD_SOURCES = {
    BEL + "cmp/standard.bjt": "ltspice-2020",
    KICAD + "Transistor/BJT/BJT.lib": "ltspice-2014",
    PICLI + "standard_bjt.lib": "ltspice-old",
    BEL + "cmp/Original/standard.bjt": "ltspice-orig",
    BEL + "cmp/Original_IV/standard.bjt": "ltspice-orig4",
    BEL + "sub/Cordell_Mods": "cordell",
    PICLI + "bipolar.lib": "orcad",
}
# Not read: madmpro cordell.mod ends in a block of `* Vceo: 200` and
# `* Icrating: 15` comments (the LTspice parameters turned into comments)
# that follows no card; Cordell_Mods has the same figures on its cards.

# Model files with *SRC= lines that state ratings.
SRC_SOURCES = {
    KICAD + "Transistor/BJT/BJTN.LIB": "intusoft",
    KICAD + "Transistor/BJT/BJTP.LIB": "intusoft",
    KICAD + "Transistor/BJT/BJTDAR.LIB": "intusoft",
    SC + "POWBJT.LIB": "intusoft",
    SC + "RF.LIB": "intusoft",
    SC + "MOTRF.LIB": "intusoft",
    SC + "NEC.LIB": "intusoft",
    SC + "PHILRF.LIB": "intusoft",
    SC + "S_AFBJT.LIB": "intusoft",
    SC + "S_RFBJT.LIB": "intusoft",
    PICLI + "2N5551.lib": "central",
    PICLI + "2n5551.lib": "central",
    PICLI + "2n5401.lib": "central",
    PICLI + "cp310.lib": "central",
    TANG + "CMPTH10.LIB": "central",
}

LIMIT_SOURCES = {
    SC + "m_powbjt.lib": "motorola",
    SC + "onsemi.lib": "motorola",
}

VCEO_COMMENT_SOURCES = {
    TANG + "ss9012.cir": "fairchild",
    TANG + "ss9013.cir": "fairchild",
}

QUCS_FILE = "ra3xdh_qucs_s/library/Transistors.lib"
KICAD_SYMBOLS_FILE = "kicad-symbols-6.0.10/Transistor_BJT.kicad_sym"
SCHLIB_DIR = "cpavlina-kicad-schlib"
CTT_DIR = "ctt-sw-profiles"
# Files of the rating sources folder that hold no ratings.
RATINGS_NOT_READ = {
    "SOURCES.md", "cpavlina-kicad-schlib/LICENSE.md", "ctt-sw-profiles/LICENCE",
    "kicad-symbols-6.0.10/LICENSE.md", "kicad-symbols-6.0.10/copyright",
}


@dataclass(frozen=True)
class Statement:
    name: str                 # type name as the library writes it
    field: str                # one of FIELDS, or "package"
    value: object             # decimal.Decimal in V, A, W; str for package
    source: str               # source id
    where: str                # "file:line" in the source set
    package: str = ""         # package named with a Ptot
    polarity: str = ""        # "N", "P" or "" when not stated


@dataclass
class Rejected:
    where: str
    name: str
    text: str
    reason: str


# ---------------------------------------------------------------- values

NUMBER = r"[+-]?(?:\d+\.?\d*|\.\d+)"
SCALES = {"": 0, "m": -3, "M": -3, "u": -6, "k": 3, "K": 3}


def quantity(number: str, scale: str = "") -> decimal.Decimal:
    return abs(decimal.Decimal(number)).scaleb(SCALES[scale])


def package_text(text: str) -> str:
    """TO92 -> TO-92, to-220 -> TO-220; other names upper case."""
    text = text.strip().upper()
    m = re.match(r"^(TO|SOT|SC)-?(\d.*)$", text)
    if m:
        return m.group(1) + "-" + m.group(2)
    return text


# ---------------------------------------------------------------- readers


class Collector:
    """Gathers statements for the library's types and the rejected ones."""

    def __init__(self, library: dict, lenders: dict):
        # Polarity ("N"/"P") of every name whose statements count: the
        # library's types and the names they borrow from (lenders: type ->
        # names, see lenders_of).
        self.polarity = dict(library)
        for name, names in lenders.items():
            for lender in names:
                self.polarity.setdefault(lender, library[name])
        self.statements: list[Statement] = []
        self.rejected: list[Rejected] = []

    def add(self, name, field, value, source, where, package="",
            polarity="", text=""):
        name = name.upper()
        if name not in self.polarity:
            return
        if polarity and polarity != self.polarity[name]:
            self.reject(where, name, text, "polarity %s, the library's card "
                        "is %s" % (polarity, self.polarity[name]))
            return
        if isinstance(value, decimal.Decimal):
            value = value.normalize()
        if field in PLAUSIBLE:
            low, high = PLAUSIBLE[field]
            if not low <= value <= high:
                self.reject(where, name, text, "%s %s outside %s .. %s" % (
                    field, decimal_text(value), decimal_text(low),
                    decimal_text(high)))
                return
        self.statements.append(Statement(name, field, value, source, where,
                                         package, polarity))

    def reject(self, where, name, text, reason):
        entry = Rejected(where, name.upper(), text.strip()[:60], reason)
        if entry.name in self.polarity and entry not in self.rejected:
            self.rejected.append(entry)


def read_lines(path: str) -> list[str]:
    with open(path, "rb") as f:
        return f.read().decode("latin-1").splitlines()


def folder_files(root: str, folder: str, ending: str):
    """(path in the source set, lines) of the folder's files so named."""
    for file in sorted(os.listdir(os.path.join(root, folder))):
        if file.endswith(ending):
            yield folder + "/" + file, read_lines(os.path.join(root, folder,
                                                                file))


UNIT_FIELDS = {"V": "vceo", "Vce": "vceo", "A": "ic_max", "W": "ptot"}


def add_rating_line(col: Collector, name, tokens, source, where, package,
                    polarity, text) -> None:
    """Figures of one rating line, (number, "m" or "", unit) each; the
    package it names goes with its Ptot, or stands alone without one."""
    for number, scale, unit in tokens:
        field = UNIT_FIELDS[unit]
        col.add(name, field, quantity(number, scale), source, where,
                package=package if field == "ptot" else "",
                polarity=polarity, text=text)
    if package and not any(unit == "W" for _, _, unit in tokens):
        col.add(name, "package", package, source, where, text=text)


def collect_cards(col: Collector, contents, normalise) -> None:
    """Vceo=/Icrating= on the cards of the importer's files."""
    for content in contents:
        source = CARD_SOURCES.get(content.source.path)
        if source is None:
            continue
        for card in content.cards:
            if card.subckt is not None:
                continue
            name, _ = normalise(card.name, content.source)
            if name is None:
                continue
            where = "%s:%d" % (content.source.path, card.line)
            for key, field in (("VCEO", "vceo"), ("ICRATING", "ic_max")):
                text = card.own_extra.get(key)
                if text is None:
                    continue
                m = re.match(r"^(%s)(m|M|u)?(V|A)?$" % NUMBER, text)
                if not m or m.group(3) not in (None, "V" if field == "vceo"
                                                else "A"):
                    col.reject(where, name, "%s=%s" % (key, text),
                               "unreadable value")
                    continue
                col.add(name, field, quantity(m.group(1), m.group(2) or ""),
                        source, where, polarity=card.polarity,
                        text="%s=%s" % (key, text))


SRC_RATINGS_RE = re.compile(
    r"^(%s)\s*V\s*(%s)\s*(m|M)?A(?:\s+%s\s*(?:MHz|Mhz|MegHz|GHz|kHz))?"
    r"(?:\s+.*)?$" % (NUMBER, NUMBER, NUMBER))


# "*  200 Volt  1.5 Amp  SiNPN  Power Transistor  12-03-1991",
# "* Hitachi 90 V 50M A 200 MHz  SiNPN  Transistor": the comment of an
# Intusoft block (50M A is 50 mA). It describes the fit and often differs
# from the *SRC line (BC547: "75 Volt .5 Amp" beside "45V 100mA"), so it
# counts only in a block whose *SRC line states no ratings.
BLOCK_RATINGS_RE = re.compile(
    r"^\*.*?(?<![\w.])(%s)\s*(?:V|Volts?)\s+(%s)\s*(M)?\s*(?:A|Amps?)\s.*"
    r"Transistor" % (NUMBER, NUMBER))


def collect_src_lines(col: Collector, root: str) -> None:
    """*SRC=NAME;MODEL;BJTs NPN;TYPE;25V 500mA, the rating comment and
    *PINOUT TO-92 ... of the type's block (up to the next line of ten
    asterisks)."""
    for path, source in sorted(SRC_SOURCES.items()):
        name = None
        stated = False
        for no, line in enumerate(read_lines(os.path.join(root, path)), 1):
            where = "%s:%d" % (path, no)
            if line.startswith("*SRC="):
                fields = [f.strip() for f in line[5:].split(";")]
                name = None
                if len(fields) < 5 or not fields[2].startswith("BJTs "):
                    continue
                name = fields[0].upper()
                polarity = {"BJTs NPN": "N", "BJTs PNP": "P"}.get(fields[2],
                                                                  "")
                text = fields[4]
                m = SRC_RATINGS_RE.match(text)
                if m and fields[3].startswith("RF"):
                    # BFR90 "10V 10mA", MRF9331 "5V 1mA": the bias point
                    # the RF model was fitted at (BFR90: 15 V, 25 mA max).
                    col.reject(where, name, line, "RF model: its bias point, "
                               "no rating")
                    m = None
                    text = ""
                stated = m is not None
                if m:
                    col.add(name, "vceo", quantity(m.group(1)), source,
                            where, polarity=polarity, text=line)
                    col.add(name, "ic_max",
                            quantity(m.group(2), m.group(3) or ""),
                            source, where, polarity=polarity, text=line)
                elif re.search(r"\d", text) and not re.match(
                        r"^SOT\d+", text):
                    col.reject(where, name, line, "no unambiguous "
                               "\"VCEO IC\" pair")
            elif name is not None and not stated and \
                    BLOCK_RATINGS_RE.match(line):
                m = BLOCK_RATINGS_RE.match(line)
                col.add(name, "vceo", quantity(m.group(1)), source, where,
                        text=line)
                col.add(name, "ic_max", quantity(m.group(2), m.group(3) or ""),
                        source, where, text=line)
            elif line.startswith("*PINOUT ") and name is not None:
                words = line.split()
                if len(words) >= 2:
                    col.add(name, "package", package_text(words[1]), source,
                            where, text=line)
            elif line.startswith("**********"):
                name = None  # the end of the type's block


LIMIT_RE = re.compile(
    r"^\*\*\s*pdmax=\s*(%s)\s*(m?)W\s+icmax=\s*(%s)\s*(m?)A\s+"
    r"vcemax=\s*(%s)\s*V\s+.*case=\s*(\S+)" % (NUMBER, NUMBER, NUMBER), re.I)
MODEL_NAME_RE = re.compile(r"^\s*\.model\s+(\S+)\s+(npn|pnp)", re.I)


def next_card(lines, start, source, normalise):
    """Type name (None if none) and polarity of the first .model card at or
    after line start: the card a comment above it describes."""
    for line in lines[start:]:
        m = MODEL_NAME_RE.match(line)
        if m:
            return normalise(m.group(1), source)[0], m.group(2).upper()[0]
    return None, ""


def collect_comments(col: Collector, root: str, sources, normalise) -> None:
    """Limit comments that name no type: they describe the card
    that follows them (Motorola), or the one card of their file (SS901x)."""
    by_path = {s.path: s for s in sources}
    for path, source in sorted(LIMIT_SOURCES.items()):
        lines = read_lines(os.path.join(root, path))
        for no, line in enumerate(lines, 1):
            m = LIMIT_RE.match(line)
            if not m:
                continue
            name, polarity = next_card(lines, no, by_path[path], normalise)
            if name is None:
                continue
            where = "%s:%d" % (path, no)
            package = package_text(m.group(6))
            col.add(name, "vceo", quantity(m.group(5)), source, where,
                    polarity=polarity, text=line)
            col.add(name, "ic_max", quantity(m.group(3), m.group(4)), source,
                    where, polarity=polarity, text=line)
            col.add(name, "ptot", quantity(m.group(1), m.group(2)), source,
                    where, package=package, polarity=polarity, text=line)
    for path, source in sorted(VCEO_COMMENT_SOURCES.items()):
        lines = read_lines(os.path.join(root, path))
        cards = [MODEL_NAME_RE.match(l) for l in lines]
        cards = [c for c in cards if c]
        for no, line in enumerate(lines, 1):
            m = re.match(r"^\*.*\bVceo\s*\((%s)\s*V\)" % NUMBER, line, re.I)
            if m and len(cards) == 1:
                name, _ = normalise(cards[0].group(1), by_path[path])
                if name is not None:
                    col.add(name, "vceo", quantity(m.group(1)), source,
                            "%s:%d" % (path, no),
                            polarity=cards[0].group(2).upper()[0], text=line)


# Rating comments before a card, by file: which figures they may state.
# Only these files: elsewhere "Ic=" is the bias point of a fit.
COMMENT_SOURCES = {
    TANG + "BJT.mod": ("japanese", ("ic_max", "ptot")),
    SC + "fairch.lib": ("fairchild", ("ptot",)),
}
COMMENT_SOURCES.update({
    KICAD + "Manufacturer/TRT-Electronics/%s.lib" % f: ("trt",
                                                        ("ic_max", "ptot"))
    for f in ("2sa1015", "2sa1048", "2sa1049", "2sc1815")})
COMMENT_PTOT_RE = re.compile(r"\bP[Cc]\s*=\s*(%s)\s*(m?)W" % NUMBER)
COMMENT_IC_RE = re.compile(r"\bI[Cc]\s*=\s*(%s)\s*(m?)[Aa]\b" % NUMBER)


def collect_rating_comments(col: Collector, root: str, sources,
                            normalise) -> None:
    """`*Low Noise Amp PC=0.4W Ic=0.15A Vcbo=60V`,
    `*2SA1114(VCBO=70V,IC=200ma,PC=500mW)`, `* Collector Dissipation
    Pc=1W`: figures of the card that follows (VCBO is no VCEO)."""
    by_path = {s.path: s for s in sources}
    for path, (source, fields) in sorted(COMMENT_SOURCES.items()):
        lines = read_lines(os.path.join(root, path))
        for no, line in enumerate(lines, 1):
            if not line.startswith("*"):
                continue
            found = []
            m = COMMENT_PTOT_RE.search(line)
            if m and "ptot" in fields:
                found.append(("ptot", quantity(m.group(1), m.group(2))))
            m = COMMENT_IC_RE.search(line)
            if m and "ic_max" in fields:
                found.append(("ic_max", quantity(m.group(1), m.group(2))))
            if not found:
                continue
            name, polarity = next_card(lines, no, by_path[path], normalise)
            if name is None:
                continue
            for field, value in found:
                col.add(name, field, value, source, "%s:%d" % (path, no),
                        polarity=polarity, text=line)


# A rating line of a Qucs-S description: numbers with units V, A, W.
QUCS_TOKEN_RE = re.compile(
    r"(?<![\w.])(%s)\s*(m?)(Vce|V|A|W)(?![A-Za-z])" % NUMBER)


def collect_qucs(col: Collector, root: str) -> None:
    path = QUCS_FILE
    text = "\n".join(read_lines(os.path.join(root, path)))
    for m in re.finditer(r"<Component (\S+)>\s*<Description>(.*?)"
                         r"</Description>", text, re.S):
        name = m.group(1)
        first = text.count("\n", 0, m.start(2)) + 1
        polarity = ""
        pm = re.search(r"\b(npn|pnp)\b", m.group(2), re.I)
        if pm:
            polarity = pm.group(1).upper()[0]
        for offset, line in enumerate(m.group(2).split("\n")):
            where = "%s:%d" % (path, first + offset)
            line = line.strip()
            low = line.lower()
            if "bvceo:" in low:
                # "BVceo: 80V" or "BVceo: BD135 45V / BD137 60V / ..."
                body = line[low.index("bvceo:") + 6:]
                pairs = re.findall(r"([A-Z0-9]{4,})\s+(%s)\s*V" % NUMBER,
                                   body)
                if pairs:
                    for other, value in pairs:
                        col.add(other, "vceo", quantity(value), "qucs-s",
                                where, polarity=polarity, text=line)
                else:
                    v = re.match(r"^\s*(%s)\s*V\s*$" % NUMBER, body)
                    if v:
                        col.add(name, "vceo", quantity(v.group(1)), "qucs-s",
                                where, polarity=polarity, text=line)
                continue
            if re.search(r"bvcbo|bvebo|complement|added by|manufacturer",
                         low):
                continue
            tokens = QUCS_TOKEN_RE.findall(line)
            units = collections.Counter(
                "V" if unit.startswith("V") else unit
                for _, _, unit in tokens)
            if not tokens:
                continue
            if any(n > 1 for n in units.values()) or "V" not in units:
                col.reject(where, name, line, "no unambiguous rating line")
                continue
            pkg = re.search(r"pkg:\s*(\S+)", line)
            add_rating_line(col, name, tokens, "qucs-s", where,
                            package_text(pkg.group(1)) if pkg else "",
                            polarity, line)


PACKAGE_RE = re.compile(r"^(?:TO|SOT|SC|SOD|DIP|SOIC|SuperSOT)-?\d", re.I)


def collect_kicad_symbols(col: Collector, root: str) -> None:
    path = KICAD_SYMBOLS_FILE
    lines = read_lines(os.path.join(root, path))
    name = None
    for no, line in enumerate(lines, 1):
        m = re.match(r'^  \(symbol "([^"]+)"', line)
        if m:
            name = m.group(1)
            continue
        m = re.match(r'^\s*\(property "ki_description" "([^"]*)"', line)
        if not m or name is None:
            continue
        where = "%s:%d" % (path, no)
        items = [i.strip() for i in m.group(1).split(",")]
        polarity = ""
        if re.search(r"\bNPN\b", m.group(1)) and "PNP" not in m.group(1):
            polarity = "N"
        elif re.search(r"\bPNP\b", m.group(1)) and "NPN" not in m.group(1):
            polarity = "P"
        found = False
        for item in items:
            a = re.match(r"^(%s)\s*(m?)A(?: I[cC])?$" % NUMBER, item)
            v = re.match(r"^(%s)\s*V ?Vce$" % NUMBER, item)
            if a:
                col.add(name, "ic_max", quantity(a.group(1), a.group(2)),
                        "kicad-symbols", where, polarity=polarity, text=item)
                found = True
            elif v:
                col.add(name, "vceo", quantity(v.group(1)), "kicad-symbols",
                        where, polarity=polarity, text=item)
                found = True
        if found and PACKAGE_RE.match(items[-1]):
            col.add(name, "package", package_text(items[-1]),
                    "kicad-symbols", where, text=m.group(1))


def collect_schlib(col: Collector, root: str) -> None:
    for path, lines in folder_files(root, SCHLIB_DIR, ".dcm"):
        name = None
        for no, line in enumerate(lines, 1):
            if line.startswith("$CMP "):
                name = line[5:].strip()
                continue
            if not line.startswith("D ") or name is None:
                continue
            words = re.sub(r"^\[[A-Za-z]+\]\s*", "", line[2:].strip()).split()
            if not words or words[0] not in ("NPN", "PNP"):
                continue  # MOSFETs, duals (NPN.2), NPN/PNP pairs
            where = "%s:%d" % (path, no)
            polarity = words[0][0]
            package = ""
            pk = re.search(r"\[([^\]]+)\]\s*$", line)
            if pk:
                package = package_text(pk.group(1))
            units = collections.Counter()
            found = []
            for word in words[1:]:
                t = re.match(r"^(%s)(m?)(V|A|W)$" % NUMBER, word)
                if t:
                    units[t.group(3)] += 1
                    found.append(t.groups())
            if any(n > 1 for n in units.values()):
                col.reject(where, name, line, "two values of one unit")
                continue
            add_rating_line(col, name, found, "kicad-schlib", where, package,
                            polarity, line)


def collect_ctt(col: Collector, root: str) -> None:
    for path, lines in folder_files(root, CTT_DIR, ".pro"):
        keys = {}
        for no, line in enumerate(lines, 1):
            if "=" in line and not line.startswith("#"):
                key, _, value = line.partition("=")
                keys[key.strip()] = (value.strip(), no)
        if "TY" not in keys:
            continue
        name = keys["TY"][0]
        polarity = {"NPN": "N", "PNP": "P"}.get(keys.get("PO", ("",))[0])
        if polarity is None:
            continue  # dual or unknown polarity
        package = keys.get("PC", ("?",))[0]
        package = "" if package in ("", "?") else package_text(package)
        for key, field in (("CE", "vceo"), ("IC", "ic_max"), ("PD", "ptot")):
            if key not in keys:
                continue
            text, no = keys[key]
            where = "%s:%d" % (path, no)
            if not re.match(r"^\d+(?:\.\d+)?$", text):
                col.reject(where, name, "%s=%s" % (key, text),
                           "not a plain number")
                continue
            col.add(name, field, decimal.Decimal(text), "ctt-profiles", where,
                    package=package if field == "ptot" else "",
                    polarity=polarity, text="%s=%s" % (key, text))


# ---------------------------------------------------------------- families

# The family of a gain group is group 1 of the first pattern that matches.
GAIN_GROUP_RULES = [
    re.compile(r"^(BC[A-Z]?\d+[ABC])P$"),       # Zetex version, trailing P
    re.compile(r"^(BC[A-Z]?\d+)[ABC]$"),        # group letter
    re.compile(r"^(B[A-Z]{1,2}\d+)-\d+$"),      # numbered gain group
    re.compile(r"^(2S[ABCD]\d+)(?:O|Y|GR|BL)$"),  # hFE rank
]


def family_of(name: str) -> str | None:
    for pattern in GAIN_GROUP_RULES:
        m = pattern.match(name)
        if m:
            return m.group(1)
    return None


# Cordell's models are named after their part with a C appended; the
# index at the head of cordell.mod lists the parts.
CORDELL_FILES = (BEL + "sub/Cordell_Mods",
                 "madmpro_spice-workspace/models/cordell.mod")
CORDELL_INDEX = "madmpro_spice-workspace/models/cordell.mod"


def cordell_parts(root: str) -> set:
    parts = set()
    for line in read_lines(os.path.join(root, CORDELL_INDEX)):
        if line.lower().startswith(".model"):
            break
        if line.startswith("*"):
            parts.update(w.upper() for w in line[1:].split()
                         if re.search(r"\d", w) and len(w) >= 5)
    return parts


def lenders_of(name: str, polarity: dict, part: str | None) -> list:
    """The names whose statements also count for the type, nearest first:
    its gain groups' families, and for a model of a part (Cordell's
    2N3904C) the part and its families. A name the library knows with the
    other polarity is another device and lends nothing, nor do the names
    beyond it (the PNP half BC847BP of the pair BC847BPN is no gain group
    of BC847B)."""
    lenders = []
    for current in (family_of(name), part):
        while current is not None and current not in lenders \
                and polarity.get(current, polarity[name]) == polarity[name]:
            lenders.append(current)
            current = family_of(current)
    return lenders


# ---------------------------------------------------------------- choice


@dataclass
class Choice:
    value: decimal.Decimal | str | None = None
    sources: tuple = ()           # source tokens stating the value
    seen: tuple = ()              # ((value, sources), ...) when they differ


@dataclass
class Ratings:
    name: str
    fields: dict                  # field -> Choice (also "package")


def token(statement: Statement, via: str | None) -> str:
    return statement.source if via is None else "%s(%s)" % (statement.source,
                                                            via)


def choose(name: str, own: list, borrowed: list) -> Ratings:
    """own: statements of the type; borrowed: (lender, statements)."""
    candidates = [(s, None) for s in own]
    for lender, statements in borrowed:
        candidates.extend((s, lender) for s in statements)
    result = {}
    ptot_packages = []
    for field in FIELDS:
        by_value = collections.OrderedDict()
        for s, via in candidates:
            if s.field == field:
                tokens = by_value.setdefault(s.value, [])
                t = token(s, via)
                if t not in tokens:
                    tokens.append(t)
        if not by_value:
            result[field] = Choice()
            continue
        values = sorted(by_value)
        low = values[0]
        seen = tuple((v, tuple(by_value[v])) for v in values) \
            if len(values) > 1 else ()
        result[field] = Choice(low, tuple(by_value[low]), seen)
        if field == "ptot":
            ptot_packages = [(s.package, token(s, via))
                             for s, via in candidates
                             if s.field == "ptot" and s.value == low
                             and s.package]
    package = Choice()
    if ptot_packages:
        first = ptot_packages[0][0]
        package = Choice(first, tuple(dict.fromkeys(
            t for p, t in ptot_packages if p == first)))
    else:
        named = [(s.package or s.value, token(s, via))
                 for s, via in candidates
                 if (s.field == "package") or (s.field == "ptot"
                                               and s.package)]
        if named and len({p for p, _ in named}) == 1:
            package = Choice(named[0][0], tuple(dict.fromkeys(
                t for _, t in named)))
    result["package"] = package
    return Ratings(name, result)


def check_ratings_folder(root: str) -> None:
    """Every file of the rating sources is read or known to hold none, so
    that a source added to the folder is not silently left out."""
    for folder, _, files in os.walk(root):
        for f in files:
            rel = os.path.relpath(os.path.join(folder, f), root)
            rel = rel.replace(os.sep, "/")
            read = (rel == KICAD_SYMBOLS_FILE
                    or (rel.startswith(SCHLIB_DIR + "/")
                        and f.endswith(".dcm"))
                    or (rel.startswith(CTT_DIR + "/") and f.endswith(".pro")))
            if not read and rel not in RATINGS_NOT_READ:
                raise SystemExit("%s: rating source file neither read nor in "
                                 "RATINGS_NOT_READ" % rel)


def collect(models_root, ratings_root, sources, contents, library,
            origins, normalise):
    """library: type -> polarity; origins: type -> path of the file its card
    comes from (None for a derived card).
    -> (ratings by name for the types with any figure, Collector)."""
    check_ratings_folder(ratings_root)
    parts = cordell_parts(models_root)
    lenders = {}
    for name in library:
        part = None
        if origins.get(name) in CORDELL_FILES and name.endswith("C") \
                and name[:-1] in parts:
            part = name[:-1]
        lenders[name] = lenders_of(name, library, part)
    col = Collector(library, lenders)
    collect_cards(col, contents, normalise)
    collect_src_lines(col, models_root)
    collect_comments(col, models_root, sources, normalise)
    collect_rating_comments(col, models_root, sources, normalise)
    collect_qucs(col, models_root)
    collect_kicad_symbols(col, ratings_root)
    collect_schlib(col, ratings_root)
    collect_ctt(col, ratings_root)
    by_name = collections.defaultdict(list)
    for s in col.statements:
        by_name[s.name].append(s)
    ratings = {}
    for name in sorted(library, key=lambda n: n.encode("ascii")):
        borrowed = [(lender, by_name[lender]) for lender in lenders[name]
                    if by_name.get(lender)]
        if not by_name.get(name) and not borrowed:
            continue
        r = choose(name, by_name.get(name, []), borrowed)
        if any(r.fields[f].value is not None for f in FIELDS):
            ratings[name] = r
    return ratings, col


# ---------------------------------------------------------------- output

TSV_HEADER = """\
# Absolute maximum ratings of the types of norvane-bjt.lib, from public
# sources. Generated by tools/import_spice_models.py (rules in
# tools/transistor_ratings.py; sources and counts in PROVENANCE.md). The
# build compiles this file into the program and refuses it if malformed.
#
# "source" lines declare the source ids. Then one line per type that any
# source rates, sorted by name as the library is, tab-separated:
#   name  vceo  ic_max  ptot  package  vceo_sources  ic_max_sources
#   ptot_sources  package_sources  seen
# vceo in V, ic_max in A, ptot in W, plain decimals; "-" where no source
# states the figure. Each figure is the lowest value stated. Its sources
# are source ids joined by "+"; "id(NAME)" is a statement for NAME, the
# family of the gain group or the part a model is of (Cordell's 2N3904C:
# 2N3904). seen is "-", or for each figure whose statements
# disagree "field:value=sources,value=sources" (all values, lowest first),
# the figures joined by ";".
"""


def decimal_text(value: decimal.Decimal) -> str:
    text = format(value, "f")
    if "." in text:
        text = text.rstrip("0").rstrip(".")
    return text


def write_tsv(path: str, ratings: dict) -> None:
    out = [TSV_HEADER.rstrip("\n")]
    for source, description in sorted(SOURCE_DESCRIPTIONS.items()):
        out.append("source\t%s\t%s" % (source, description))
    for name in sorted(ratings, key=lambda n: n.encode("ascii")):
        fields = ratings[name].fields
        row = [name]
        for f in FIELDS:
            value = fields[f].value
            row.append("-" if value is None else decimal_text(value))
        row.append(fields["package"].value or "-")
        for f in FIELDS + ("package",):
            row.append("+".join(fields[f].sources) or "-")
        seen = []
        for f in FIELDS:
            if fields[f].seen:
                seen.append("%s:%s" % (f, ",".join(
                    "%s=%s" % (decimal_text(v), "+".join(s))
                    for v, s in fields[f].seen)))
        row.append(";".join(seen) or "-")
        out.append("\t".join(row))
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(out) + "\n")


def provenance(ratings: dict, col: Collector, library: dict) -> list[str]:
    """The "Ratings" section of PROVENANCE.md."""
    def count(pred):
        return sum(1 for r in ratings.values() if pred(r.fields))

    def has(f):
        return lambda fields: fields[f].value is not None

    out = ["## Ratings (norvane-ratings.tsv)", ""]
    out.append("VCEO, IC max and Ptot of the types, from the comments and "
               "extra parameters of the model files and from openly "
               "licensed symbol descriptions and tester profiles. The rules "
               "(what each source form says, gain groups, the lowest-value "
               "choice) are the header comment of "
               "`tools/transistor_ratings.py`.")
    out.append("")
    out.append("How each field is chosen:")
    out.append("")
    out.append("* **VCEO, IC max, Ptot**: the lowest value any statement for "
               "the type (or for its gain group's family, or the part a "
               "model is of) gives; the "
               "sources giving it are listed with it. A source that writes "
               "VCBO for VCEO (Intusoft, Central) or the case rating for "
               "Ptot is thereby outvoted where another source states the "
               "figure. Where the statements disagree, every value seen is "
               "kept with its sources (column `seen`).")
    out.append("* **Package**: the one named together with the chosen "
               "Ptot; without one, the package all statements of the type "
               "agree on; else none.")
    out.append("* **Ptot condition**: no source says whether its Ptot is at "
               "25 degC ambient or case temperature.")
    out.append("* Unknown stays unknown: no figure is derived or typed in.")
    out.append("")
    out.append("| | types |")
    out.append("|---|---|")
    out.append("| library types | %d |" % len(library))
    out.append("| with VCEO | %d |" % count(has("vceo")))
    out.append("| with IC max | %d |" % count(has("ic_max")))
    out.append("| with VCEO and IC max | %d |" % count(
        lambda f: has("vceo")(f) and has("ic_max")(f)))
    out.append("| with Ptot | %d |" % count(has("ptot")))
    out.append("| with all three | %d |" % count(
        lambda f: all(f[x].value is not None for x in FIELDS)))
    out.append("| with a package | %d |" % count(
        lambda f: f["package"].value is not None))
    for f in FIELDS:
        out.append("| sources disagree on %s | %d |" % (f, count(
            lambda fields, f=f: bool(fields[f].seen))))
    out.append("| using a family's or part's statements | %d |" % count(
        lambda fields: any("(" in t for x in FIELDS + ("package",)
                           for t in fields[x].sources)))
    only = count(lambda fields: fields["vceo"].value is not None and all(
        t.startswith("intusoft") for t in fields["vceo"].sources)
        and not fields["vceo"].seen)
    out.append("| VCEO from Intusoft alone (may be VCBO) | %d |" % only)
    out.append("")
    out.append("Statements per source (for the library's types and their "
               "families):")
    out.append("")
    out.append("| source | VCEO | IC max | Ptot | package | what |")
    out.append("|---|---|---|---|---|---|")
    per = collections.Counter((s.source, s.field) for s in col.statements)
    for source, description in sorted(SOURCE_DESCRIPTIONS.items()):
        out.append("| %s | %d | %d | %d | %d | %s |" % (
            source, per[(source, "vceo")], per[(source, "ic_max")],
            per[(source, "ptot")], per[(source, "package")], description))
    out.append("")
    out.append("### Statements left out")
    out.append("")
    out.append("| where | type | text | reason |")
    out.append("|---|---|---|---|")
    def place(r):
        path, _, line = r.where.rpartition(":")
        return path, int(line), r.name

    for r in sorted(col.rejected, key=place):
        out.append("| %s | %s | %s | %s |" % (
            r.where, r.name, r.text.replace("|", "/"),
            r.reason.replace("|", "/")))
    out.append("")
    return out
