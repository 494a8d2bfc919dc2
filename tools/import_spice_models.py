#!/usr/bin/env python3
"""Builds Norvane's transistor library from public SPICE model libraries.

Usage:
    tools/import_spice_models.py --models DIR --ratings DIR
                                 [--out-dir resources/transistors] [--report]

--models is a folder holding the collected public libraries, one subfolder
per GitHub repository named owner_name (see SOURCES below for the files
read); --ratings the collected rating sources (symbol descriptions, tester
profiles; see transistor_ratings.py). The tool writes

    norvane-bjt.lib   one complete `.model NAME NPN(...)`/`PNP(...)` card per
                      transistor type, all 39 Gummel-Poon parameters written
                      out in record order, sorted by name (byte-wise);
    norvane-ratings.tsv  VCEO, IC max, Ptot and package of the types that
                      public sources rate, with the source of each figure
                      and the values of disagreeing sources (rules in
                      transistor_ratings.py);
    PROVENANCE.md     where every card and rating came from, counts, and
                      what was left out and why.

The build turns norvane-bjt.lib and norvane-ratings.tsv into compiled-in
tables; this tool is only run by developers when the library is to change.
Python 3 standard library only. The output is deterministic (no dates, no
set ordering).

Rules
=====

Reading a library file
  * Bytes are read as Latin-1. A line whose first non-blank character is
    `*` is a comment; `;` starts a comment up to the end of the line.
  * A line starting with `+` continues the previous statement, also across
    comment and blank lines. A lone `+` token inside a statement is a
    separator and ignored.
  * `.model NAME [ako:BASE] NPN|PNP [(] key=value ... [)]`, any case, with
    or without parentheses, blanks allowed around `=`, commas count as
    blanks. Other model types are skipped.
  * `ako:BASE` (PSpice "a kind of") copies the parameters of the card BASE
    of the same file and applies the card's own on top.
  * A key given twice takes its last value, as in SPICE.
  * `LOT/...=` and `DEV/...=` tolerance clauses are skipped.

Numbers
  * mantissa [exponent] [scale suffix] [unit letters]: `10pF`, `1.5Meg`,
    `3mil`, `2.4E-12`, `.75`. Suffixes (any case): T 1e12, G 1e9, MEG 1e6,
    K 1e3, M 1e-3, MIL 25.4e-6, U 1e-6, N 1e-9, P 1e-12, F 1e-15. Letters
    after the suffix are units and ignored; `M` is always milli. Without a
    suffix only a unit name may follow (`30V`, `2A`: V A S H HZ OHM OHMS
    SEC DEG), and nothing may follow an exponent: `0.4723539b` and
    `9.833E-4S` (a typo of E-48) are broken numbers.
  * Scaling is done in decimal arithmetic, so `66.78m` becomes exactly the
    double nearest to 0.06678.
  * A broken number in one of the 39 parameters (`1m2`, `30.5-12`, `0..4`,
    `41.583E- 12`) is not guessed at: the card is dropped. So is a card
    with a stray token that is no `key=value` (`... CJC=1.94E-10 .00 FC=`,
    `TR=10N).`); in both cases a clean copy in another source takes over.

Parameters
  * Only the 39 Gummel-Poon parameters of the record count: AF BF BR CJC
    CJE CJS FC IKF IKR IRB IS ISC ISE ITF KF MJC MJE MJS NC NE NF NR PTF RB
    RBM RC RE TF TR VAF VAR VJC VJE VJS VTF XCJC XTB XTF XTI. The SPICE
    synonyms VA VB IK PE ME PC MC PS MS CCS are read as VAF VAR IKF VJE MJE
    VJC MJC VJS MJS CJS. Everything else (EG, TNOM, NK, VCEO, ICRATING,
    MFG, QUASIMOD, RCO, ...) is ignored.
  * LEVEL other than 1 (VBIC, HICUM, ...) drops the card.
  * A parameter the card leaves out takes its SPICE default:
      AF 1, BF 100, BR 1, FC 0.5, IS 1e-16, MJC 0.33, MJE 0.33, NC 2,
      NE 1.5, NF 1, NR 1, VJC 0.75, VJE 0.75, VJS 0.75, XCJC 1, XTI 3,
      IKF IKR IRB VAF VAR VTF infinite (written 1.7e308), RBM = RB,
      all others 0.
  * MJS, the grading exponent of the substrate junction, has no effect
    while CJS is 0; such cards store MJS equal to MJE, whatever the card
    says. This is the convention of the library this table replaces: it
    holds MJS = MJE in every card we can compare, also where the card
    gives another MJS (Philips BC548B: MJS=0.333 stored as MJE 0.3279;
    Siemens BC558B: MJS=0.33 stored as 0.419; 2N3904 without MJS: 0.2593).
    Cards with CJS > 0 keep their own MJS (SPICE default 0 when left out),
    so the library still simulates as the original card.
  * VAF or VAR given as 0 means "infinite" in SPICE (the term is left
    out); it is stored as 1.7e308 because the model evaluation divides by
    it. A given 0 in IKF, IKR, IRB or VTF is kept: the evaluation treats
    IKF/IKR below 1e-20 as absent and handles IRB itself.
  * Cards with values that cannot describe a transistor are dropped:
    IS, BF, BR, NF, NR, NE, NC not > 0; negative resistance, capacitance,
    transit time, saturation or corner current, grading exponent, junction
    potential, KF, AF, ITF or XTF; FC outside [0, 1); XCJC outside [0, 1];
    a VJx of 0; magnitudes no junction has (a capacitance above 1 uF, a
    junction potential above 20 V: typos such as CJC=1.197, VJE=185).
    Odd but possible values (BF of 1e5 and more in fits whose gain is set
    by ISE, NF below 0.5, transit times of milliseconds) are kept.

Subcircuits
  * A `.subckt` that contains exactly one transistor and otherwise only
    package parasitics (L, C, K, T elements and resistors below 10 ohm, or a
    call of another such wrapper of the same file) names a part: its die
    card is imported under the subcircuit's name. Wrappers with bias
    resistors (resistor-equipped "digital" transistors), a second
    transistor (Darlingtons, duals, quasi-saturation networks), diodes,
    sources or other elements are left out, and so are all cards inside
    them. A transistor with an area factor other than 1 is left out.
  * A card or subcircuit that another subcircuit of the same file calls is
    a die or an internal block: it is not imported under its own name.

Names
  * Upper case. Vendor tags are removed: `/PLP /SIE /CEL /MOT /MC /NS
    /INF /ZTX /FAIR` everywhere, and `_ZX _PH _IN _FC _ON _MC` in the
    libraries of those vendors.
  * PSpice-style `Q` prefixes are removed: `Q2N3904` -> 2N3904,
    `QBC548B/PLP` -> BC548B, `Qmje340` -> MJE340 (a `Q` before a digit or
    before a known series prefix). The Intusoft libraries write `QN` for
    `2N`, `QS` for `2S` (`QN2222` -> 2N2222, `QSC2240` -> 2SC2240); the
    Japanese short forms of one collection (`QC1815`, `QA1015`) become
    2SC1815, 2SA1015.
  * Names still holding `/` after that are temperature or radiation
    variants (`2N3700/27C/RAD1`) and are left out.
  * Names must be 5 to 10 characters of A-Z 0-9 `-` `_` and contain a
    digit (names without one are generic models such as QPWR or LargeN);
    others are left out, and so are names of digits only (RCA 40235 ...):
    ngspice cannot refer to such a model. A `_` in what remains marks an
    alternative fit of a type in the LTspice collection (`2N3904_C`
    Cordell's, `BC547B__` a second card, `MJE15032_A`) or a generic base
    card (`NSC_4A`): left out too, so no name holds `_`. The Intusoft gain
    groups `BCY58_8` are read as BCY58-8.
  * Germanium transistors: only AC125, AC126, AC127, AC128, AC151, AC187K,
    AC188K, the only names beginning with `A`. Public germanium cards
    (MFG=GERMANIUM..., the germanium library) of other types are left out,
    as is every other name beginning with `A`.

Germanium cards
  These seven are stored in a reduced form: BF, BR, IS, NF and RB as given
  (BR and NF 1, RB 0 when the card leaves them out), NC NE NR VAF VAR =
  1e20, IKF IKR = 0, IRB = 1.7e308, all else 0.
  AC127, AC128 and AC151 are reduced from their public cards; AC125,
  AC126, AC187K and AC188K are written here (see GERMANIUM_CARDS) and are
  marked "derived" in the provenance.

Choosing between sources
  Every name is taken from the most preferred source that has a valid card
  for it; SOURCES below is in preference order (earlier wins), and within
  one file the first card wins. The groups, in order:
    1. PSpice/OrCAD libraries (bipolar.lib, pwrbjt.lib),
    2. manufacturer libraries: Siemens/Infineon, Philips/NXP, Zetex,
       Motorola/ON, Fairchild, Toshiba, NEC/CEL, others,
    3. other collections (Intusoft, Electronics Workbench, CAD-LAB,
       Cordell, single-part files, the germanium measurements),
    4. the LTspice standard.bjt collections (last: many of their cards are
       copies or re-fits of the above, some with damaged numbers).
  The Qucs libraries of the source set are not read: they are no SPICE
  text, write every parameter out (so a left-out parameter cannot be told
  from a given one) and use 0 for "infinite"; most of their types are in
  the LTspice collection they were converted from.
"""

from __future__ import annotations

import argparse
import collections
import decimal
import os
import re
import sys
from dataclasses import dataclass, field

import transistor_ratings

decimal.getcontext().prec = 60

PARAMS = [
    "AF", "BF", "BR", "CJC", "CJE", "CJS", "FC", "IKF", "IKR", "IRB", "IS",
    "ISC", "ISE", "ITF", "KF", "MJC", "MJE", "MJS", "NC", "NE", "NF", "NR",
    "PTF", "RB", "RBM", "RC", "RE", "TF", "TR", "VAF", "VAR", "VJC", "VJE",
    "VJS", "VTF", "XCJC", "XTB", "XTF", "XTI",
]
assert len(PARAMS) == 39 and PARAMS == sorted(PARAMS)

ALIASES = {
    "VA": "VAF", "VB": "VAR", "IK": "IKF", "PE": "VJE", "ME": "MJE",
    "PC": "VJC", "MC": "MJC", "PS": "VJS", "MS": "MJS", "CCS": "CJS",
}

INFINITE = "1.7e308"

# SPICE defaults of left-out parameters (decimal text). RBM and MJS are
# filled in afterwards (RB; MJE or 0).
DEFAULTS = {
    "AF": "1", "BF": "100", "BR": "1", "CJC": "0", "CJE": "0", "CJS": "0",
    "FC": "0.5", "IKF": INFINITE, "IKR": INFINITE, "IRB": INFINITE,
    "IS": "1e-16", "ISC": "0", "ISE": "0", "ITF": "0", "KF": "0",
    "MJC": "0.33", "MJE": "0.33", "NC": "2", "NE": "1.5", "NF": "1",
    "NR": "1", "PTF": "0", "RB": "0", "RC": "0", "RE": "0", "TF": "0",
    "TR": "0", "VAF": INFINITE, "VAR": INFINITE, "VJC": "0.75",
    "VJE": "0.75", "VJS": "0.75", "VTF": INFINITE, "XCJC": "1", "XTB": "0",
    "XTF": "0", "XTI": "3",
}

GERMANIUM_NAMES = ["AC125", "AC126", "AC127", "AC128", "AC151", "AC187K",
                   "AC188K"]

# Germanium types without a usable public card, in the reduced germanium
# form (BR 1, RB left 0). IS and NF put the ideal-diode base-emitter
# voltage near 0.2 V at a typical collector current of the type:
# VBE = NF * VT * ln(IC / IS), VT = 25.69 mV at 25 C.
#   AC125  PNP small-signal AF: BF 125 (typical hFE as commonly quoted),
#          IS 1e-6, NF 1: VBE 0.195 V at 2 mA.
#   AC126  PNP small-signal AF, the higher-gain sister of AC125: BF 140
#          (typical hFE as commonly quoted), IS 1e-6, NF 1: 0.195 V at 2 mA.
#   AC188K PNP 1 W output type, complement of AC187K: BF 132 as its
#          complement, IS 4e-5, NF 1: VBE 0.201 V at 100 mA.
#   AC187K NPN: the hand-written card of the library this table replaces,
#          kept unchanged (BF 132, IS 1.435, NF 3.324, RB 44.6).
GERMANIUM_CARDS = {
    "AC125": ("P", {"BF": "125", "BR": "1", "IS": "1e-6", "NF": "1"},
              "derived: BF typical hFE; IS, NF for VBE 0.195 V at 2 mA"),
    "AC126": ("P", {"BF": "140", "BR": "1", "IS": "1e-6", "NF": "1"},
              "derived: BF typical hFE; IS, NF for VBE 0.195 V at 2 mA"),
    "AC187K": ("N", {"BF": "132", "BR": "1", "IS": "1.435", "NF": "3.324",
                     "RB": "44.6"},
               "derived: hand-written card of the original table"),
    "AC188K": ("P", {"BF": "132", "BR": "1", "IS": "4e-5", "NF": "1"},
               "derived: BF of complement AC187K; IS, NF for VBE 0.2 V "
               "at 100 mA"),
}


@dataclass(frozen=True)
class Source:
    path: str            # relative to the models folder
    label: str           # who made the library
    group: int           # preference group, 1 is best
    suffixes: tuple = () # vendor name tags of this library ("_ZX", ...)
    qmode: str = "q"     # "q", "intusoft", "japanese"
    germanium: bool = False  # the whole library is germanium
    inner_prefix: str = ""   # subcircuits so named are internal blocks


KICAD = "kicad-spice-library_KiCad-Spice-Library/Models/"
SC = KICAD + "uncategorized/spice_complete/"
BEL = KICAD + "uncategorized/Bordodynovs Electronics Lib/"
PICLI = "picli3_spice-models/"
TANG = "tang5722917_Ngspice_Apply/Ngspice_Sim/Spice_Lib/BJT/"
TRT = KICAD + "Manufacturer/TRT-Electronics/"

TRT_FILES = [
    "2n2222a", "2n2907", "2n2907a", "2n3904", "2n3906", "2sa1015",
    "2sa1048", "2sa1049", "2sa1145", "2sa1298", "2sa1313", "2sa817",
    "2sa952", "2sb595", "2sb688", "2sb799", "2sb800", "2sc1627", "2sc1675",
    "2sc1781", "2sc1815", "2sc1907", "2sc1959", "2sc2003", "2sc2240",
    "2sc2668", "2sc2669", "2sc2754", "2sc288", "2sc3279", "2sc3358",
    "2sc3378", "2sc945", "2sc980a", "2sd1007", "2sd1588", "2sd525",
]

SOURCES = [
    # 1. PSpice / OrCAD
    Source(PICLI + "bipolar.lib", "OrCAD PSpice bipolar.lib", 1),
    Source(PICLI + "pwrbjt.lib", "OrCAD PSpice pwrbjt.lib", 1),
    # 2. manufacturers
    Source(SC + "siemens.lib", "Siemens/Infineon", 2),
    Source(SC + "S_AFBJT.LIB", "Siemens AF transistors", 2),
    Source(SC + "S_RFBJT.LIB", "Siemens RF transistors", 2),
    Source(KICAD + "Manufacturer/Infineon Technologies/infineon.lib",
           "Infineon", 2, ("_IN",)),
    Source(BEL + "sub/Infineon-RFTransistor-SPICE.lib-SM-v02_10-EN.lib",
           "Infineon RF transistors", 2),
    Source(SC + "phil_bjt.lib", "Philips small-signal", 2),
    Source(SC + "ph_bjt.lib", "Philips/NXP", 2, ("_PH",)),
    Source(SC + "PHILRF.LIB", "Philips RF", 2),
    Source(SC + "phil_rf.lib", "Philips RF", 2),
    Source(SC + "ph_rfdev.lib", "Philips RF", 2, ("_PH",)),
    Source(BEL + "sub/spice_BFQ18A.prm", "Philips", 2),
    Source(SC + "zmodels.lib", "Zetex library v4.5", 2),
    Source(KICAD + "Manufacturer/Zetex Semiconductors/ZMODELS.LIB",
           "Zetex library v2.0", 2),
    Source(SC + "zetex.lib", "Zetex", 2, ("_ZX",)),
    Source(BEL + "sub/ZTX413.sub", "Zetex", 2),
    Source(BEL + "sub/ZTX415.Sub", "Zetex", 2),
    Source(SC + "onsemi.lib", "ON Semiconductor", 2, ("_ON",)),
    Source(SC + "m_small.lib", "Motorola small-signal", 2),
    Source(SC + "m_powbjt.lib", "Motorola power", 2),
    Source(SC + "m_rfdev.lib", "Motorola RF", 2, ("_MC",),
           inner_prefix="X"),
    Source(SC + "MOTRF.LIB", "Motorola RF", 2, inner_prefix="X"),
    Source(SC + "Mot_RF_1.lib", "Motorola RF", 2, inner_prefix="X"),
    Source(SC + "motor_rf.lib", "Motorola RF", 2),
    Source(SC + "D44VH10.LIB", "Motorola/ON (MODPEX)", 2),
    Source(PICLI + "MJE15032.lib", "ON Semiconductor (MODPEX)", 2),
    Source(PICLI + "MJE15033.lib", "ON Semiconductor (MODPEX)", 2),
    Source(PICLI + "MJE340.lib", "ON Semiconductor (MODPEX)", 2),
    Source(PICLI + "MJE350.lib", "ON Semiconductor (MODPEX)", 2),
    Source(PICLI + "TIP41C.lib", "ON Semiconductor (MODPEX)", 2),
    Source(PICLI + "TIP42C.lib", "ON Semiconductor (MODPEX)", 2),
    Source("madmpro_spice-workspace/models/tip31.mod",
           "ON Semiconductor (MODPEX)", 2),
    Source("madmpro_spice-workspace/models/tip32.mod",
           "ON Semiconductor (MODPEX)", 2),
    Source(SC + "fairch.lib", "Fairchild", 2, ("_FC",)),
    Source(PICLI + "KSA1220_KSA1220A.lib", "Fairchild", 2),
    Source(PICLI + "KSC2690_KSC2690A.lib", "Fairchild", 2),
    Source(TANG + "ss8050.cir", "Fairchild", 2),
    Source(TANG + "ss8550.cir", "Fairchild", 2),
    Source(TANG + "ss9012.cir", "Fairchild", 2),
    Source(TANG + "ss9013.cir", "Fairchild", 2),
    Source(TANG + "ss9014.cir", "Fairchild", 2),
    Source(TANG + "ss9015.cir", "Fairchild", 2),
    Source(PICLI + "2SA1943.lib", "Toshiba", 2),
    Source(PICLI + "2SC5200.lib", "Toshiba", 2),
    Source(SC + "NEC.LIB", "NEC", 2),
    Source(SC + "cel.lib", "CEL/NEC", 2),
    Source(BEL + "sub/NECbjt.lib", "CEL/NEC", 2),
    Source(KICAD + "Manufacturer/General Semiconductor/"
           "General Semiconductor.lb5", "General Semiconductor", 2),
    Source(PICLI + "2N5551.lib", "Central Semiconductor", 2),
    Source(PICLI + "2n5551.lib", "Central Semiconductor", 2),
    Source(PICLI + "2n5401.lib", "Central Semiconductor", 2),
    Source(PICLI + "cp310.lib", "Central Semiconductor", 2),
    Source(TANG + "CMPTH10.LIB", "Central Semiconductor", 2),
    # 3. other collections
    Source(KICAD + "Transistor/BJT/BJTN.LIB", "Intusoft", 3,
           qmode="intusoft"),
    Source(KICAD + "Transistor/BJT/BJTP.LIB", "Intusoft", 3,
           qmode="intusoft"),
    Source(SC + "POWBJT.LIB", "Intusoft", 3, qmode="intusoft"),
    Source(SC + "RF.LIB", "Intusoft", 3, qmode="intusoft"),
    Source(KICAD + "Transistor/BJT/BJTDAR.LIB", "Intusoft", 3,
           qmode="intusoft"),
    Source(SC + "other_models/BJT_NPN/TOSHIBA.LIB",
           "Electronics Workbench (Toshiba types)", 3),
    Source(SC + "other_models/BJT_PNP/TOSHIBA.LIB",
           "Electronics Workbench (Toshiba types)", 3),
    Source(SC + "other_models/BJT_PNP/TOSH_PWR.LIB",
           "Electronics Workbench (Toshiba types)", 3),
    Source(SC + "cadlab.lib", "CAD-LAB PSpice collection", 3),
] + [
    Source(TRT + f + ".lib", "TRT-Electronics (PSpice cards)", 3)
    for f in TRT_FILES
] + [
    Source(KICAD + "uncategorized/PN2222.mod", "PN2222 single card", 3),
    Source(KICAD + "Transistor/BJT/BC546.lib",
           "BC546B from Philips data book", 3),
    Source("madmpro_spice-workspace/models/cordell.mod", "Cordell Audio", 3),
    Source(BEL + "sub/Cordell_Mods", "Cordell Audio", 3),
    Source(BEL + "sub/NPNdarlington.lib", "Darlington collection", 3),
    Source(BEL + "sub/PNPdarlington.lib", "Darlington collection", 3),
    Source(BEL + "sub/Tip122_AB.sub", "Darlington collection", 3),
    Source(BEL + "sub/npndarl1.sub", "Darlington collection", 3),
    Source(BEL + "sub/pnpdarl1.sub", "Darlington collection", 3),
    Source(TANG + "BJT.mod", "Japanese types collection", 3,
           qmode="japanese"),
    Source(PICLI + "2n3906.mod", "single-part collection", 3),
    Source(PICLI + "2SC5200.mod", "single-part collection", 3),
    Source(PICLI + "2SC1942.lib", "single-part collection", 3),
    Source(PICLI + "transistores_2.lib", "single-part collection", 3),
    Source("grwhitehead_germaniumbjts/germaniumbjts.lib",
           "germanium measurements (Holmes et al. 2017)", 3,
           germanium=True),
    # 4. LTspice
    Source(BEL + "cmp/standard.bjt", "LTspice standard.bjt (2000-2020)", 4),
    Source(KICAD + "Transistor/BJT/BJT.lib", "LTspice standard.bjt (2014)",
           4),
    Source(PICLI + "standard_bjt.lib", "LTspice standard.bjt (old)", 4),
    Source(BEL + "cmp/Original/standard.bjt", "LTspice standard.bjt (orig.)",
           4),
    Source(BEL + "cmp/Original_IV/standard.bjt",
           "LTspice standard.bjt (orig. IV)", 4),
]

# Files of the source set that are deliberately not read.
NOT_READ = {
    "ra3xdh_qucs_s/library/BJT_Extended.lib": "Qucs format",
    "ra3xdh_qucs_s/library/Transistors.lib": "Qucs format",
    "ra3xdh_qucs_s/library/BJT_Darlington.lib": "Qucs format (Darlingtons)",
    "ra3xdh_qucs_s/library/BJT_Darlington/DarlingtonTIP14X.cir":
        "Darlington subcircuits only",
}

VENDOR_TAGS = ("/PLP", "/SIE", "/CEL", "/MOT", "/MC", "/NS", "/INF", "/ZTX",
               "/FAIR")

# Series prefixes before which a leading Q is a PSpice "Q" and not part of
# the type name.
Q_SERIES = ("2", "BC", "BD", "BF", "BS", "BU", "MJ", "MPS", "MMBT", "NJW",
            "D4", "TIP", "PN", "PMBT", "PMST", "PBSS", "ZTX", "FMMT", "FZT",
            "FCX")

NAME_RE = re.compile(r"^[A-Z0-9_-]{5,10}$")

# ---------------------------------------------------------------- numbers

SCALE = {"T": 12, "G": 9, "K": 3, "M": -3, "U": -6, "N": -9, "P": -12,
         "F": -15}
# Unit names allowed after a number without scale suffix ("30V", "2A").
UNITS = {"V", "A", "S", "H", "HZ", "OHM", "OHMS", "SEC", "DEG"}
NUMBER_RE = re.compile(
    r"^([+-]?(?:\d+\.?\d*|\.\d+))(?:[eE]([+-]?\d+))?([A-Za-z]*)$")


class NumberError(ValueError):
    pass


def parse_number(text: str) -> decimal.Decimal:
    """SPICE number text -> exact decimal value."""
    m = NUMBER_RE.match(text)
    if not m:
        raise NumberError(text)
    mantissa, exponent, letters = m.groups()
    value = decimal.Decimal(mantissa)
    if exponent:
        value = value.scaleb(int(exponent))
    up = letters.upper()
    if up.startswith("MEG"):
        value = value.scaleb(6)
    elif up.startswith("MIL"):
        value = value * decimal.Decimal("25.4e-6")
    elif up[:1] in SCALE:
        value = value.scaleb(SCALE[up[:1]])
    elif up and (exponent or up not in UNITS):
        # "1.5E", "0.4723539b", "9.833E-4S" (a typo of E-48)
        raise NumberError(text)
    return value


def to_double(value: decimal.Decimal) -> float:
    return float(str(value))


def format_double(x: float) -> str:
    """Shortest text that reads back as x; plain exponent notation."""
    text = repr(x)
    if text in ("inf", "-inf", "nan"):
        raise ValueError(x)
    if "e" in text:
        mant, exp = text.split("e")
        if mant.endswith(".0"):
            mant = mant[:-2]
        text = mant + "e" + str(int(exp))
    elif text.endswith(".0"):
        text = text[:-2]
    return text


# ---------------------------------------------------------------- reading


@dataclass
class Statement:
    line: int
    text: str


@dataclass
class Card:
    source: Source
    order: int        # position of the source in SOURCES
    line: int
    name: str         # as written
    polarity: str     # "N" or "P"
    ako: str | None
    params: dict = field(default_factory=dict)   # canonical -> Decimal
    texts: dict = field(default_factory=dict)    # canonical -> text
    extra: dict = field(default_factory=dict)    # other keys -> text
    own_extra: dict = field(default_factory=dict)  # extra before ako:
    error: str | None = None
    subckt: "Subckt | None" = None


@dataclass
class Subckt:
    name: str
    line: int
    elements: list = field(default_factory=list)  # Statement
    cards: dict = field(default_factory=dict)     # upper name -> Card


def statements(path: str) -> list[Statement]:
    with open(path, "rb") as f:
        data = f.read().decode("latin-1")
    out: list[Statement] = []
    for no, raw in enumerate(data.splitlines(), 1):
        line = raw.replace("\t", " ")
        if line.lstrip().startswith("*"):
            continue
        if ";" in line:
            line = line[: line.index(";")]
        s = line.strip()
        if not s:
            continue
        if s.startswith("+"):
            if out:
                out[-1].text += " " + s[1:]
            continue
        out.append(Statement(no, s))
    return out


MODEL_RE = re.compile(
    r"^\.model\s+(\S+)\s+(?:ako:\s*(\S+)\s+)?(npn|pnp)(?![A-Za-z0-9_])\s*(.*)$",
    re.I)
KEYVAL_RE = re.compile(r"([A-Za-z_][A-Za-z0-9_]*)\s*=\s*([^\s=]+)")
TOLERANCE_RE = re.compile(r"\b(?:LOT|DEV)(?:/[^\s=]*)?\s*=\s*\S+", re.I)


def parse_body(card: Card, body: str) -> None:
    body = TOLERANCE_RE.sub(" ", body)
    body = body.replace("(", " ").replace(")", " ").replace(",", " ")
    rest = KEYVAL_RE.sub(" ", body).split()
    rest = [t for t in rest if t != "+"]
    if rest:
        card.error = "malformed card (stray text %r)" % " ".join(rest)[:30]
    for key, text in KEYVAL_RE.findall(body):
        key = key.upper()
        key = ALIASES.get(key, key)
        if key in DEFAULTS or key == "MJS" or key == "RBM":
            try:
                card.params[key] = parse_number(text)
                card.texts[key] = text
            except NumberError:
                if card.error is None:
                    card.error = "broken number %s=%s" % (key, text)
        else:
            card.extra[key] = text
            card.own_extra[key] = text


@dataclass
class FileContent:
    source: Source
    cards: list          # every BJT card, in file order
    top: dict            # upper name -> first top-level Card
    subckts: list        # Subckt, in file order
    subckt_by_name: dict


def read_file(root: str, source: Source, order: int) -> FileContent:
    stack: list[Subckt] = []
    cards: list[Card] = []
    top: dict = {}
    subckts: list[Subckt] = []
    for st in statements(os.path.join(root, source.path)):
        low = st.text.lower()
        if low.startswith(".subckt"):
            parts = st.text.split()
            sub = Subckt(parts[1] if len(parts) > 1 else "", st.line)
            subckts.append(sub)
            stack.append(sub)
        elif low.startswith(".ends"):
            if stack:
                stack.pop()
        elif low.startswith(".model"):
            m = MODEL_RE.match(st.text)
            if not m:
                continue
            name, ako, pol, body = m.groups()
            card = Card(source, order, st.line, name, pol.upper()[0], ako,
                        subckt=stack[-1] if stack else None)
            parse_body(card, body)
            cards.append(card)
            if stack:
                stack[-1].cards.setdefault(name.upper(), card)
            else:
                top.setdefault(name.upper(), card)
        elif stack and not low.startswith("."):
            stack[-1].elements.append(st)
    by_name = {}
    for s in subckts:
        by_name.setdefault(s.name.upper(), s)
    content = FileContent(source, cards, top, subckts, by_name)
    resolve_ako(content)
    return content


def resolve_ako(content: FileContent) -> None:
    def base_of(card: Card, depth: int = 0) -> Card | None:
        scope = card.subckt.cards if card.subckt else {}
        base = scope.get(card.ako.upper()) or content.top.get(card.ako.upper())
        if base is None or depth > 10:
            return None
        if base.ako and not base.error:
            resolved = base_of(base, depth + 1)
            if resolved is None:
                return None
        return base

    done: set = set()

    def resolve(card: Card, depth: int = 0) -> None:
        if id(card) in done or card.ako is None:
            return
        done.add(id(card))
        if card.error:
            return
        base = base_of(card)
        if base is None:
            card.error = "ako: base card %s not found" % card.ako
            return
        resolve(base, depth + 1)
        if base.error:
            card.error = "ako: base card %s unusable (%s)" % (card.ako,
                                                               base.error)
            return
        if base.polarity != card.polarity:
            card.error = "ako: base card %s has the other polarity" % card.ako
            return
        params = dict(base.params)
        params.update(card.params)
        texts = dict(base.texts)
        texts.update(card.texts)
        extra = dict(base.extra)
        extra.update(card.extra)
        card.params, card.texts, card.extra = params, texts, extra

    for c in content.cards:
        resolve(c)


# ---------------------------------------------------------------- wrappers

PASSIVE = set("LCKT")


def element_value(tokens: list[str]) -> decimal.Decimal | None:
    """Value of `Rname n1 n2 [model] value`, None if unreadable."""
    for t in tokens[3:5]:
        try:
            return parse_number(t)
        except NumberError:
            continue
    return None


def classify_wrapper(content: FileContent, sub: Subckt, depth: int = 0):
    """-> (die Card, None) for a package wrapper, else (None, reason)."""
    active = [(el.text[0].upper(), el.text.split()) for el in sub.elements
              if el.text[0].upper() in ("Q", "X")]
    if not active:
        return None, "wrapper without transistor"
    if len(active) > 1:
        return None, "wrapper with a second transistor"
    for el in sub.elements:
        kind = el.text[0].upper()
        if kind in PASSIVE or kind in ("Q", "X"):
            continue
        if kind == "R":
            value = element_value(el.text.split())
            if value is not None and value < 10:
                continue
            if value is not None and value >= 1000:
                return None, "wrapper with bias resistors"
            return None, "wrapper with resistor network"
        if kind == "D":
            return None, "wrapper with diodes"
        return None, "wrapper with sources or other elements"
    kind, tokens = active[0]
    if kind == "X":
        inner = content.subckt_by_name.get(tokens[-1].upper())
        if inner is None or depth > 5:
            return None, "wrapper calls an unknown subcircuit"
        return classify_wrapper(content, inner, depth + 1)
    # Q c b e [s] model [area]
    scope = dict(content.top)
    scope.update(sub.cards)
    model_at = None
    for i in (4, 5):
        if i < len(tokens) and tokens[i].upper() in scope:
            model_at = i
            break
    if model_at is None:
        return None, "wrapper transistor model not found"
    die = scope[tokens[model_at].upper()]
    rest = tokens[model_at + 1:]
    if rest and rest[0].upper() not in ("OFF",) and "=" not in rest[0]:
        try:
            area = parse_number(rest[0])
        except NumberError:
            return None, "wrapper transistor with unreadable area"
        if area != 1:
            return None, "wrapper transistor with area factor"
    return die, None


def called_names(content: FileContent) -> set:
    """Upper names of the subcircuits and cards that subcircuits use."""
    used = set()
    for sub in content.subckts:
        for el in sub.elements:
            tokens = el.text.split()
            kind = el.text[0].upper()
            if kind == "X" and len(tokens) > 1:
                used.add(tokens[-1].upper())
            elif kind == "Q":
                used.update(t.upper() for t in tokens[4:6])
    if content.source.inner_prefix:
        used.update(s.name.upper() for s in content.subckts
                    if s.name.upper().startswith(content.source.inner_prefix))
    return used


# ---------------------------------------------------------------- names


def normalise_name(raw: str, source: Source) -> tuple[str | None, str | None]:
    """-> (name, None) or (None, reason)."""
    name = raw.upper()
    for tag in VENDOR_TAGS + tuple(s.upper() for s in source.suffixes):
        if name.endswith(tag) and len(name) > len(tag):
            name = name[: -len(tag)]
            break
    if source.qmode == "intusoft":
        if name.startswith("QN") and name[2:3].isdigit():
            name = "2N" + name[2:]
        elif name.startswith("QS") and name[2:3] in "ABCDJK" and name[2:3]:
            name = "2S" + name[2:]
        elif name.startswith("Q2"):
            name = name[1:]
        # gain group written BCY58_8 for BCY58-8
        name = re.sub(r"_(\d+)$", r"-\1", name)
    elif source.qmode == "japanese":
        if name.startswith("Q2S"):
            name = name[1:]
        elif re.match(r"^Q[ABCD]\d", name):
            name = "2S" + name[1:]
    if name.startswith("Q") and (name[1:2].isdigit()
                                 or name[1:].startswith(Q_SERIES)):
        name = name[1:]
    if "/" in name:
        return None, "temperature/radiation variant"
    if not NAME_RE.match(name):
        if re.match(r"^[A-Z0-9_-]+$", name):
            return None, "name length outside 5..10"
        return None, "name with other characters"
    if not re.search(r"\d", name):
        return None, "generic model name"
    if name.isdigit():
        return None, "name of digits only (unusable as ngspice model name)"
    if "_" in name:
        return None, "alternative fit or generic card (name with _)"
    return name, None


# ---------------------------------------------------------------- records

NONNEGATIVE = ["CJC", "CJE", "CJS", "IKF", "IKR", "IRB", "ISC", "ISE", "ITF",
               "KF", "AF", "MJC", "MJE", "MJS", "RB", "RBM", "RC", "RE", "TF",
               "TR", "XTF", "VTF"]
# Magnitudes no junction has (typos in the source such as CJC=1.197 or
# VJE=185): the card is dropped, not repaired. Large BF alone is no typo:
# fits with a large ISE carry ideal gains of 1e5 and more.
LIMITS = {"CJC": 1e-6, "CJE": 1e-6, "CJS": 1e-6, "VJC": 20, "VJE": 20,
          "VJS": 20}
POSITIVE = ["IS", "BF", "BR", "NF", "NR", "NE", "NC", "VJC", "VJE", "VJS"]


@dataclass
class Record:
    name: str
    polarity: str
    values: dict      # param -> Decimal
    card: Card | None
    origin: str       # card name as written, or "derived"
    note: str = ""


def build_values(card: Card) -> tuple[dict | None, str | None]:
    level = card.extra.get("LEVEL")
    if level is not None:
        try:
            if parse_number(level) != 1:
                return None, "not a Gummel-Poon card (LEVEL=%s)" % level
        except NumberError:
            return None, "not a Gummel-Poon card (LEVEL=%s)" % level
    v = {k: decimal.Decimal(t) for k, t in DEFAULTS.items()}
    v.update(card.params)
    if "RBM" not in card.params:
        v["RBM"] = v["RB"]
    if v["CJS"] == 0:
        v["MJS"] = v["MJE"]
    elif "MJS" not in card.params:
        v["MJS"] = decimal.Decimal(0)
    for k in ("VAF", "VAR"):
        if v[k] == 0:
            v[k] = decimal.Decimal(INFINITE)
    for k in POSITIVE:
        if not v[k] > 0:
            return None, "impossible value %s=%s" % (k, card.texts.get(k, v[k]))
    for k in NONNEGATIVE:
        if v[k] < 0:
            return None, "impossible value %s=%s" % (k, card.texts.get(k, v[k]))
    if v["VAF"] < 0 or v["VAR"] < 0:
        return None, "impossible value (negative Early voltage)"
    for k, limit in LIMITS.items():
        if v[k] > limit:
            return None, "impossible value %s=%s" % (k, card.texts.get(k, v[k]))
    if not (0 <= v["FC"] < 1):
        return None, "impossible value FC=%s" % v["FC"]
    if not (0 <= v["XCJC"] <= 1):
        return None, "impossible value XCJC=%s" % v["XCJC"]
    for k in PARAMS:
        x = to_double(v[k])
        if x != x or x in (float("inf"), float("-inf")):
            return None, "value out of range %s" % k
    return v, None


def germanium_values(given: dict) -> dict:
    v = {k: decimal.Decimal(0) for k in PARAMS}
    for k in ("NC", "NE", "NR", "VAF", "VAR"):
        v[k] = decimal.Decimal("1e20")
    v["IRB"] = decimal.Decimal(INFINITE)
    for k in ("BF", "BR", "IS", "NF", "RB"):
        if k in given:
            v[k] = decimal.Decimal(given[k])
    return v


def is_germanium(card: Card) -> bool:
    return card.source.germanium or "GERMAN" in card.extra.get("MFG",
                                                                  "").upper()


# ---------------------------------------------------------------- import


@dataclass
class Candidate:
    name: str
    card: Card
    via: str          # "card" or "subckt NAME"


class Importer:
    def __init__(self, root: str):
        self.root = root
        self.drops = collections.Counter()   # reason -> count
        self.drop_list = []   # (reason, source, line, card name, type name)
        self.superseded = 0
        self.contents: list[FileContent] = []
        self.records: dict = {}
        self.odd: list = []

    def drop(self, reason, card_or_sub, source, name, type_name=None):
        self.drops[reason] += 1
        self.drop_list.append((reason, source.path, card_or_sub.line, name,
                               type_name))

    def check_source_set(self) -> None:
        listed = {s.path for s in SOURCES} | set(NOT_READ)
        for d, _, files in os.walk(self.root):
            for f in files:
                rel = os.path.relpath(os.path.join(d, f), self.root)
                rel = rel.replace(os.sep, "/")
                if rel != "SOURCES.md" and rel not in listed:
                    raise SystemExit("%s: not in SOURCES or NOT_READ" % rel)
        for path in sorted(listed):
            if not os.path.isfile(os.path.join(self.root, path)):
                raise SystemExit("%s: missing" % path)

    def run(self) -> None:
        self.check_source_set()
        candidates: list[Candidate] = []
        for order, source in enumerate(SOURCES):
            content = read_file(self.root, source, order)
            self.contents.append(content)
            candidates.extend(self.candidates_of(content))

        # Valid candidates per name, best first.
        by_name = collections.defaultdict(list)
        for cand in candidates:
            by_name[cand.name].append(cand)

        for name in sorted(by_name):
            cands = sorted(by_name[name],
                           key=lambda c: (c.card.source.group, c.card.order,
                                          c.card.line))
            chosen = None
            for cand in cands:
                rec, reason = self.record_of(cand)
                if rec is None:
                    self.drop(reason, cand.card, cand.card.source,
                              cand.card.name, name)
                elif chosen is None:
                    chosen = rec
                else:
                    self.superseded += 1
            if chosen is not None:
                self.records[name] = chosen

        for name, (pol, given, note) in GERMANIUM_CARDS.items():
            if name in self.records:
                raise SystemExit("germanium card %s also found in sources"
                                 % name)
            self.records[name] = Record(name, pol, germanium_values(given),
                                        None, "derived", note)
        missing = [n for n in GERMANIUM_NAMES if n not in self.records]
        if missing:
            raise SystemExit("germanium types without card: %s" % missing)

    def candidates_of(self, content: FileContent):
        source = content.source
        used = called_names(content)
        die_cards = set()
        # Parts named by wrappers.
        for sub in content.subckts:
            if sub.name.upper() in used:
                continue  # internal block of another wrapper
            has_bjt = sub.cards or any(e.text[0].upper() in "QX"
                                       for e in sub.elements)
            if not has_bjt:
                continue
            die, reason = classify_wrapper(content, sub)
            if not sub.cards and die is None and not any(
                    e.text[0].upper() == "Q" for e in sub.elements):
                continue  # no BJT anywhere (macro calling other macros)
            if die is None:
                if reason in ("wrapper transistor model not found",
                              "wrapper calls an unknown subcircuit",
                              "wrapper without transistor"):
                    # a MOSFET, diode or IC macro: not a BJT part
                    if not sub.cards:
                        continue
                self.drop(reason, sub, source, sub.name)
                continue
            die_cards.add(id(die))
            name, why = normalise_name(sub.name, source)
            if name is None:
                self.drop(why, sub, source, sub.name)
                continue
            yield from self.checked(Candidate(name, die, "subckt " + sub.name),
                                    sub)
        # Top-level cards.
        for card in content.cards:
            if card.subckt is not None:
                continue
            if id(card) in die_cards or card.name.upper() in used:
                continue  # die of a wrapper of this file
            name, why = normalise_name(card.name, source)
            if name is None:
                self.drop(why, card, source, card.name)
                continue
            yield from self.checked(Candidate(name, card, "card"), card)

    def checked(self, cand: Candidate, where):
        card = cand.card
        if is_germanium(card):
            if cand.name in GERMANIUM_NAMES:
                yield cand
            else:
                self.drop("germanium type outside the AC set", where,
                          card.source, cand.name)
            return
        if cand.name.startswith("A"):
            self.drop("name beginning with A (reserved for germanium)",
                      where, card.source, cand.name)
            return
        yield cand

    def record_of(self, cand: Candidate):
        card = cand.card
        if card.error:
            return None, card.error
        if cand.name in GERMANIUM_NAMES:
            given = {k: str(card.params[k]) for k in ("BF", "BR", "IS", "NF",
                                                      "RB")
                     if k in card.params}
            given.setdefault("BR", "1")
            given.setdefault("NF", "1")
            values = germanium_values(given)
            note = "reduced to the germanium form"
        else:
            values, reason = build_values(card)
            if values is None:
                return None, reason
            note = "" if cand.via == "card" else "die card of " + cand.via
        return Record(cand.name, card.polarity, values, card,
                      cand.via == "card" and card.name or
                      "%s (%s)" % (cand.via.split()[1], card.name), note), None

    # ------------------------------------------------------------ output

    def write_lib(self, path: str) -> None:
        out = []
        out.append("* Norvane bipolar transistor library")
        out.append("*")
        out.append("* One Gummel-Poon card per type, all 39 parameters in "
                   "fixed order,")
        out.append("* sorted by name. 1.7e308 stands for an infinite value "
                   "(a parameter")
        out.append("* the original card leaves at its infinite default).")
        out.append("* Generated by tools/import_spice_models.py; see "
                   "PROVENANCE.md.")
        out.append("* The build compiles this file into the program's "
                   "transistor table.")
        out.append("*")
        for name in sorted(self.records, key=lambda n: n.encode("ascii")):
            rec = self.records[name]
            out.append(".model %s %s(" % (name, "NPN" if rec.polarity == "N"
                                            else "PNP"))
            items = ["%s=%s" % (k, format_double(to_double(rec.values[k])))
                     for k in PARAMS]
            for i in range(0, len(items), 6):
                line = "+ " + " ".join(items[i:i + 6])
                if i + 6 >= len(items):
                    line += ")"
                out.append(line)
        with open(path, "w", encoding="ascii", newline="\n") as f:
            f.write("\n".join(out) + "\n")

    def library_polarities(self) -> dict:
        return {n: rec.polarity for n, rec in self.records.items()}

    def collect_ratings(self, ratings_root: str):
        origins = {n: rec.card.source.path if rec.card else None
                   for n, rec in self.records.items()}
        return transistor_ratings.collect(
            self.root, ratings_root, SOURCES, self.contents,
            self.library_polarities(), origins, normalise_name)

    def write_provenance(self, path: str, ratings_section: list) -> None:
        names = sorted(self.records, key=lambda n: n.encode("ascii"))
        npn = sum(1 for n in names if self.records[n].polarity == "N")
        out = ["# Provenance of norvane-bjt.lib", ""]
        out.append("Generated by `tools/import_spice_models.py` from the "
                   "public SPICE libraries")
        out.append("collected for this purpose (one folder per GitHub "
                   "repository, named owner_name).")
        out.append("The importer's header comment states the rules.")
        out.append("")
        out.append("## Summary")
        out.append("")
        out.append("| | count |")
        out.append("|---|---|")
        out.append("| records | %d |" % len(names))
        out.append("| NPN | %d |" % npn)
        out.append("| PNP | %d |" % (len(names) - npn))
        derived = sum(1 for n in names if self.records[n].card is None)
        out.append("| derived (hand-written germanium cards) | %d |" % derived)
        out.append("")
        out.append("Records per source group:")
        out.append("")
        out.append("| group | records |")
        out.append("|---|---|")
        groups = collections.Counter(
            self.records[n].card.source.group if self.records[n].card else 0
            for n in names)
        titles = {0: "derived", 1: "PSpice/OrCAD", 2: "manufacturers",
                  3: "other collections", 4: "LTspice standard.bjt"}
        for g in sorted(groups):
            out.append("| %s | %d |" % (titles[g], groups[g]))
        out.append("")
        out.append("## Left out")
        out.append("")
        out.append("Cards and subcircuits read but not imported, by reason "
                   "(a card counts once):")
        out.append("")
        out.append("| reason | count |")
        out.append("|---|---|")
        merged = collections.Counter()
        for reason, n in self.drops.items():
            merged[reason_group(reason)] += n
        merged["superseded by a preferred source of the same type"] = \
            self.superseded
        for reason, n in sorted(merged.items(), key=lambda x: (-x[1], x[0])):
            out.append("| %s | %d |" % (reason, n))
        out.append("")
        out.append("Not read: " + "; ".join(
            "`%s` (%s)" % (p, r) for p, r in sorted(NOT_READ.items())) + ".")
        out.append("")
        out.append("### Cards left out for their values or text")
        out.append("")
        out.append("\"Type kept\" says whether another source supplies the "
                   "type.")
        out.append("")
        out.append("| source | line | card | reason | type kept |")
        out.append("|---|---|---|---|---|")
        for reason, src, line, name, type_name in sorted(
                self.drop_list, key=lambda d: (d[1], d[2])):
            if reason_group(reason) in DETAILED:
                kept = "yes" if type_name in self.records else "no"
                out.append("| %s | %d | %s | %s | %s |" % (
                    src, line, name, reason.replace("|", "/"), kept))
        out.append("")
        out.append("## Records")
        out.append("")
        out.append("| name | pol. | source | line | original name | note |")
        out.append("|---|---|---|---|---|---|")
        for n in names:
            rec = self.records[n]
            if rec.card is None:
                out.append("| %s | %s | derived | | | %s |" % (
                    n, rec.polarity, rec.note))
            else:
                out.append("| %s | %s | %s | %d | %s | %s |" % (
                    n, rec.polarity, rec.card.source.path, rec.card.line,
                    rec.origin, rec.note))
        out.append("")
        out.extend(ratings_section)
        with open(path, "w", encoding="ascii", newline="\n") as f:
            f.write("\n".join(out) + "\n")


DETAILED = {"broken number", "malformed card", "impossible value",
            "not a Gummel-Poon card", "ako base missing or unusable"}


def reason_group(reason: str) -> str:
    for prefix, group in (("broken number", "broken number"),
                          ("malformed card", "malformed card"),
                          ("impossible value", "impossible value"),
                          ("not a Gummel-Poon", "not a Gummel-Poon card"),
                          ("ako:", "ako base missing or unusable"),
                          ("value out of range", "impossible value")):
        if reason.startswith(prefix):
            return group
    return reason


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--models", required=True,
                    help="folder with the collected public libraries")
    ap.add_argument("--ratings", required=True,
                    help="folder with the collected rating sources")
    ap.add_argument("--out-dir", default=os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "resources",
        "transistors"))
    ap.add_argument("--report", action="store_true",
                    help="print every left-out card to stdout")
    args = ap.parse_args()

    imp = Importer(args.models)
    imp.run()
    os.makedirs(args.out_dir, exist_ok=True)
    ratings, collector = imp.collect_ratings(args.ratings)
    imp.write_lib(os.path.join(args.out_dir, "norvane-bjt.lib"))
    transistor_ratings.write_tsv(
        os.path.join(args.out_dir, "norvane-ratings.tsv"), ratings)
    imp.write_provenance(
        os.path.join(args.out_dir, "PROVENANCE.md"),
        transistor_ratings.provenance(ratings, collector,
                                      imp.library_polarities()))
    npn = sum(1 for r in imp.records.values() if r.polarity == "N")
    print("%d records (%d NPN, %d PNP)" % (len(imp.records), npn,
                                           len(imp.records) - npn))
    for reason, n in sorted(imp.drops.items(), key=lambda x: -x[1]):
        print("  dropped %5d  %s" % (n, reason))
    print("  superseded %d" % imp.superseded)
    print("%d types rated (%d with VCEO and IC max, %d with all three)" % (
        len(ratings),
        sum(1 for r in ratings.values()
            if r.fields["vceo"].value is not None
            and r.fields["ic_max"].value is not None),
        sum(1 for r in ratings.values()
            if all(r.fields[f].value is not None
                   for f in transistor_ratings.FIELDS))))
    if args.report:
        for d in imp.drop_list:
            print("\t".join(str(x) for x in d))
    return 0


if __name__ == "__main__":
    sys.exit(main())
