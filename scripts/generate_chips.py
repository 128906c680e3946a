#!/usr/bin/env python3
"""Writes the chip definition files of chips/ in the KORVA notation.

The register facts come from the gputils package: the processor headers
(/usr/share/gputils/header/pNAME.inc) give every special function register
with its address, every named bit with its bit number and the configuration
settings; the linker scripts (/usr/share/gputils/lkr/NAME_g.lkr) give the
memory sizes. Each chip file holds

  NAME EQU $ADDR     for a register,
  NAME EQU BIT       for a bit,

and, as remarks, the memory sizes and the configuration words with a worked
example. Remark lines that start with ";@" carry the same facts for
korva-asm, one a line:

  ;@chip NAME             the chip
  ;@core enhanced         the enhanced mid-range core (PIC12F1, PIC16F1); a
                          chip without the line has the classic one
  ;@program 0000-LAST     program memory
  ;@banks N               banks of data memory
  ;@gpr FIRST-LAST        general purpose registers (one line per range)
  ;@eeprom, ;@id, ;@calibration FIRST-LAST   the other word ranges
  ;@linear FIRST-LAST     linear data memory (the enhanced core's FSR view)
  ;@word NAME ADDRESS BLANK   a configuration word and the value its
                          settings are ANDed from
  ;@field NAME MASK       a field of the word above: the bits it owns
  ;@set NAME VALUE        a setting of the field above: the whole word
  ;@- TEXT                the setting's description, continued

A file is written for every header of a mid-range part, classic or
enhanced (see core_of_header). The generated files are kept in the repository, so
building never needs gputils or this script.

  scripts/generate_chips.py            rewrite chips/
  scripts/generate_chips.py --check    exit 1 if chips/ differs from what
                                       the script would write (77 when
                                       gputils is not installed)
"""

import argparse
import pathlib
import re
import sys
import textwrap

# Which headers are classic mid-range parts (14-bit words, the 35
# instructions): the core registers of that family stand where the family
# puts them (PCLATH at 0A, INTCON at 0B), there is no bank select register
# (the enhanced mid-range parts have BSR, WREG and two FSRs as registers),
# and the configuration word lies at 2007 in the 14-bit configuration space
# (the 12-bit parts keep theirs at 0FFF or 07FF, the enhanced ones at 8007).
# A part also needs its linker script, which gives the memory sizes.
CORE_REGISTERS = {"PCLATH": 0x0A, "INTCON": 0x0B}
ENHANCED_REGISTERS = ("BSR", "WREG", "FSR0L")
CONFIG_ADDRESS = 0x2007
# The enhanced parts: the core registers in every bank from 00 to 0B, with
# BSR at 08 and WREG at 09, and the configuration words from 8007.
ENHANCED_CORE_REGISTERS = {"INDF0": 0x00, "PCL": 0x02, "STATUS": 0x03, "FSR0L": 0x04,
                           "BSR": 0x08, "WREG": 0x09, "PCLATH": 0x0A, "INTCON": 0x0B}
ENHANCED_CONFIG_ADDRESS = 0x8007

HEADER_DIR = pathlib.Path("/usr/share/gputils/header")
LINKER_DIR = pathlib.Path("/usr/share/gputils/lkr")

# A remark or a statement longer than this is cut in the listing.
LINE_ROOM = 48
# A constant's name and its "::" must fit the label field of 18 characters.
NAME_ROOM = 16
# Symbols (labels, constants, subroutines) of one program, and how many a
# chip file may take of them. A chip whose names would take more leaves out
# the bits of the registers below (the LCD segment bits and segment enables,
# hundreds of them, which a program writes as bit numbers just as well).
SYMBOL_LIMIT = 1000
NAME_BUDGET = 600
BITS_LEFT_OUT_OVER_BUDGET = ("LCDDATA", "LCDSE")

# The destination letters of the notation: W and F are never looked up as
# names, and M would stop meaning "the register itself" if it were one.
DESTINATION_LETTERS = {"W", "F", "M"}

# Statement forms that a bare name could be mistaken for when it starts a
# statement (ORGX>W would be an ORG), and the piece that splits a register
# from its bit number.
CAPTURING_STARTS = ("EQU", "ORG", "SWAP", "RAM", "SUB", "WV")

# On these chips the linker scripts list banks 2 and 3 as general purpose
# registers of their own, but the chips have 192 bytes: banks 2 and 3 reach
# the registers of banks 0 and 1 (the headers mark 110-11F and 190-19F as
# unimplemented, which the scripts ignore).
MIRRORED_BANKS = {
    "16F873A": [(0x20, 0x7F), (0xA0, 0xFF)],
    "16F874A": [(0x20, 0x7F), (0xA0, 0xFF)],
}

# Preferred settings for the worked example of the configuration word: the
# internal oscillator without clock output where the chip has one (no
# crystal needed), otherwise XT; watchdog off, power-up timer on and
# low-voltage programming off, so that the RB3/PGM pin stays an ordinary pin.
EXAMPLE_CHOICES = [
    ("_FOSC_INTRCIO", "_FOSC_INTOSCIO", "_FOSC_INTRC_NOCLKOUT", "_INTRC_OSC_NOCLKOUT",
     "_INTOSC_OSC_NOCLKOUT"),
    ("_FOSC_XT", "_XT_OSC"),
    ("_WDTE_OFF", "_WDT_OFF"),
    ("_PWRTE_ON",),
    ("_LVP_OFF",),
]

# The value of an erased configuration word: every bit 1.
ERASED = 0x3FFF


# The exit status that tells the test runner a check was skipped.
SKIPPED = 77


class ChipError(Exception):
    pass


def hex_value(text):
    return int(text, 16)


def is_number_in_notation(name):
    """Whether the assembler would read the name as a number, not a symbol."""
    upper = name.upper()
    return (re.fullmatch(r"[0-9]+", name) is not None
            or re.fullmatch(r"[0-9A-Fa-f]+[hH]", name) is not None
            or "H'" in upper or name.startswith("$"))


def name_problem(name):
    """Why the name cannot stand as a constant of the notation, or None."""
    upper = name.upper()
    if not re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*", name):
        return "not a plain name"
    if len(name) > NAME_ROOM:
        return f"longer than {NAME_ROOM} characters"
    if upper in DESTINATION_LETTERS:
        return "a destination letter"
    if "EQU" in upper:
        return "contains EQU"
    if "_BIT" in upper:
        return "contains _BIT"
    if upper.startswith(CAPTURING_STARTS):
        return "starts like a statement form"
    if is_number_in_notation(name):
        return "reads as a number"
    return None


class Header:
    """The facts of one gputils processor header."""

    def __init__(self, text):
        self.registers = []  # (bank, name, address)
        self.bit_groups = []  # (register, [(name, bit)])
        self.config_words = []  # (name, address, [[(name, value, remark)]])
        self.banks = 0  # banks of data memory (from __MAXRAM)
        notice = re.search(r"^;\s*(\(c\) Copyright .*?)\s*$", text, re.M)
        self.copyright = notice.group(1) if notice else None
        self._parse(text)

    def _parse(self, text):
        section = None
        config_addresses = {}
        fields = None
        # Older headers list the settings after a "Configuration Bits"
        # banner without a word's address: one word at 2007.
        legacy_banner = False
        for raw in text.splitlines():
            line = raw.rstrip()
            address_row = re.match(r";\s+(CONFIG\d?)\s+([0-9A-Fa-f]+)h\s*$", line)
            if address_row:
                config_addresses[address_row.group(1)] = hex_value(address_row.group(2))
                continue
            if re.fullmatch(r";\s+Configuration Bits", line):
                legacy_banner = True
                continue
            if line.startswith(";====="):
                # A banner starts a new part of the header: what follows is
                # not a register's bits any more.
                section = None
                fields = None
                if legacy_banner and not config_addresses and not self.config_words:
                    section = "legacy configuration"
                    fields = [[]]
                    self.config_words.append(("CONFIG", CONFIG_ADDRESS, fields))
                legacy_banner = False
                continue
            maxram = re.match(r"\s+__MAXRAM\s+H'([0-9A-Fa-f]+)'", line)
            if maxram:
                self.banks = hex_value(maxram.group(1)) // 0x80 + 1
                continue
            heading = re.match(r";-----\s*(.*?)\s*-*$", line)
            if heading:
                section = heading.group(1)
                fields = None
                if section.endswith(" Bits"):
                    self.bit_groups.append((section[:-5], []))
                elif section.endswith(" Options"):
                    word = section[:-8]
                    if word not in config_addresses:
                        raise ChipError(f"no address for {word}")
                    fields = [[]]
                    self.config_words.append((word, config_addresses[word], fields))
                continue
            if not line.strip():
                if fields is not None and fields[-1]:
                    fields.append([])
                continue
            equ = re.match(r"\s*(\w+)\s+EQU\s+H'([0-9A-Fa-f]+)'\s*(?:;\s*(.*))?$", line)
            if not equ or section is None:
                continue
            name, value, remark = equ.group(1), hex_value(equ.group(2)), equ.group(3) or ""
            bank = re.fullmatch(r"Bank(\d+)", section)
            if bank:
                self.registers.append((int(bank.group(1)), name, value))
            elif section.startswith("Register Files"):
                # Older headers list every register in one section.
                self.registers.append((value // 0x80, name, value))
            elif section.endswith(" Bits"):
                self.bit_groups[-1][1].append((name, value))
            elif fields is not None:
                # The enhanced headers write the settings as 16 bits; the word
                # has 14.
                fields[-1].append((name, value & ERASED, remark.strip()))
        for _, _, word_fields in self.config_words:
            if word_fields and not word_fields[-1]:
                word_fields.pop()


class Field:
    """One field of a configuration word: the bits it owns and its settings,
    each the whole word with the field set and every other bit 1."""

    def __init__(self, name):
        self.name = name
        self.mask = 0
        self.settings = []  # (setting, value, remark)

    def add(self, setting, value, remark, fixed):
        self.settings.append((setting, value, remark))
        self.mask |= ~value & ERASED & ~fixed


def field_candidates(group):
    """The entries of one blank-line group of a header's options, by the
    field their name starts with (_FOSC_XT: FOSC). An old-style oscillator
    name (_XT_OSC) belongs to FOSC when the group has no _FOSC_ names."""
    has_fosc = any(name.startswith("_FOSC_") for name, _, _ in group)
    candidates = {}
    for name, value, remark in group:
        parts = name.lstrip("_").split("_")
        if len(parts) == 1 and sum(other == value for _, other, _ in group) > 1:
            continue  # _CP beside _CP_ON: an older name of the same value
        if len(parts) >= 2 and parts[-1] == "OSC" and not has_fosc:
            field, setting = "FOSC", "_".join(parts[:-1])
        elif len(parts) >= 2:
            field, setting = parts[0], "_".join(parts[1:])
        else:
            field, setting = parts[0], parts[0]
        candidates.setdefault(field, []).append((setting, value, remark))
    return candidates


def fixed_zero_bits(groups):
    """Bits that every setting of a word clears: on some older parts a bit
    of the word reads 0 and each setting carries it."""
    values = [value for group in groups for _, value, _ in group]
    fixed = ERASED
    for value in values:
        fixed &= ~value
    return fixed if len(values) > 1 else 0


def config_fields(chip, groups):
    """The fields of one configuration word. A header gives each field as a
    group of settings named _FIELD_SETTING, followed by older names for the
    same values (_XT_OSC beside _FOSC_XT): a name whose values all belong to
    a field named before it is such an alias and is left out."""
    fields = []
    fixed = fixed_zero_bits(groups)
    for group in groups:
        kept = []
        for field, entries in field_candidates(group).items():
            values = {value for _, value, _ in entries}
            if any(values <= {value for _, value, _ in known} for _, known in kept):
                continue
            kept.append((field, entries))
        for field, entries in kept:
            existing = [f for f in fields if f.name == field]
            target = existing[0] if existing else Field(field)
            if not existing:
                fields.append(target)
            for setting, value, remark in entries:
                if all(setting != known for known, _, _ in target.settings):
                    target.add(setting, value, remark, fixed)
    used = 0
    for field in fields:
        if field.mask & used:
            raise ChipError(f"{chip}: configuration field {field.name} shares bits with another")
        used |= field.mask
    return fields


class LinkerScript:
    """The memory ranges of one gputils linker script."""

    def __init__(self, text):
        self.pages = []
        self.protected_code = {}  # section name -> (start, end)
        self.gpr = []
        self.shared = None
        self.shared_mirrors = []
        self.linear = None
        shared = []
        for line in text.splitlines():
            linear = re.match(r"LINEARMEM\s+NAME=\S+\s+START=0x([0-9A-Fa-f]+)\s+END=0x([0-9A-Fa-f]+)",
                              line)
            if linear:
                self.linear = (hex_value(linear.group(1)), hex_value(linear.group(2)))
                continue
            row = re.match(r"\s*(CODEPAGE|DATABANK|SHAREBANK)\s+NAME=(\S+)\s+START=0x([0-9A-Fa-f]+)"
                           r"\s+END=0x([0-9A-Fa-f]+)\s*(PROTECTED)?", line)
            if not row:
                continue
            kind, name, start, end, protected = row.groups()
            span = (hex_value(start), hex_value(end))
            if kind == "CODEPAGE":
                if protected:
                    self.protected_code[name] = span
                else:
                    self.pages.append(span)
            elif kind == "DATABANK" and name.startswith("gpr") and not protected:
                self.gpr.append(span)
            elif kind == "SHAREBANK":
                if protected:
                    self.shared_mirrors.append(span)
                else:
                    shared.append(span)
        if len(shared) == 1:
            self.shared = shared[0]
        else:
            # Banks of their own, each seen again from a bank above (the
            # protected ranges): general purpose registers like the others.
            self.gpr += shared


def span_size(span):
    return span[1] - span[0] + 1


def span_text(span, digits=3):
    return f"{span[0]:0{digits}X}-{span[1]:0{digits}X}"


def remark_lines(text, indent="", hanging=None):
    """The text as remark lines of at most LINE_ROOM characters; lines after
    the first are indented by `hanging` when it is given."""
    first = "; " + indent
    rest = "; " + (indent if hanging is None else hanging)
    return textwrap.wrap(text, LINE_ROOM, initial_indent=first, subsequent_indent=rest,
                         break_on_hyphens=False) or [";"]


def section_heading(title):
    head = f";----- {title} "
    return head + "-" * max(3, LINE_ROOM - len(head))


def bits_text(mask):
    """Bit numbers of a mask, as "13", "1-0" or "12, 9-8"."""
    bits = [b for b in range(13, -1, -1) if mask >> b & 1]
    runs = []
    for bit in bits:
        if runs and runs[-1][1] == bit + 1:
            runs[-1][1] = bit
        else:
            runs.append([bit, bit])
    return ", ".join(str(a) if a == b else f"{a}-{b}" for a, b in runs)


class ChipFile:
    """Builds the lines of one chip file."""

    def __init__(self, chip, header, linker, skipped_bits=(), core="classic",
                 numbered_bits=True, name_room=None):
        self.chip = chip
        self.core = core
        # Whether bits named by their own number (TRISA0 for bit 0) are named.
        self.numbered_bits = numbered_bits
        # At most this many names: the bits of registers that come later in
        # the header, whose names would not fit, are left out.
        self.name_room = name_room
        self.skipped_bits = skipped_bits  # registers whose bits are left out, by prefix
        self.header = header
        self.linker = linker
        self.defined = {}  # name -> value
        self.left_out = {}  # name -> why the notation cannot take it
        self.lines = []

    def define(self, name, value_text, value):
        """Adds NAME EQU VALUE; false for a name defined before with the same
        value or one the notation cannot take (listed at the end)."""
        problem = name_problem(name)
        if problem:
            if name not in self.left_out:
                self.left_out[name] = problem
            return False
        if name in self.defined:
            if self.defined[name] != value:
                raise ChipError(f"{self.chip}: {name} has two values")
            return False
        self.defined[name] = value
        self.lines.append(f"{name:<11} EQU {value_text}")
        return True

    def memory_remarks(self):
        lines = []
        program = sum(span_size(p) for p in self.linker.pages)
        oscval = self.linker.protected_code.get(".oscval") or \
            self.linker.protected_code.get("oscval")
        if oscval:
            program += span_size(oscval)
        last = max([p[1] for p in self.linker.pages] + ([oscval[1]] if oscval else []))
        pages = len(self.linker.pages) if not oscval else 1
        text = f"Program memory: {program} words, 0000-{last:04X}"
        if pages > 1:
            text += f", in {pages} pages of {span_size(self.linker.pages[0])} words"
        lines += remark_lines(text + ".")
        if oscval:
            lines += remark_lines(
                f"Word {oscval[0]:04X} holds the factory oscillator calibration (a RETLW): "
                "leave it free; programmers keep it.")
        gpr = MIRRORED_BANKS.get(self.chip)
        shared = None if gpr else self.linker.shared
        gpr = gpr or self.linker.gpr
        ram = sum(span_size(s) for s in gpr) + (span_size(shared) if shared else 0)
        text = f"Data memory: {ram} bytes of general purpose registers"
        if gpr:
            text += ", " + " ".join(span_text(s) for s in gpr)
        if shared and self.core == "enhanced":
            text += f", and {span_text(shared)} seen from every bank"
        elif shared:
            mirrors = " ".join(span_text(s) for s in self.linker.shared_mirrors)
            if gpr:
                text += f", and {span_text(shared)} seen from every bank"
            else:
                text += f", {span_text(shared)}"
            if mirrors:
                text += f" (also at {mirrors})"
        if not shared and self.linker.shared_mirrors and gpr is self.linker.gpr:
            text += " (also at " + " ".join(span_text(s) for s in self.linker.shared_mirrors) + ")"
        if self.chip in MIRRORED_BANKS:
            text += "; banks 2 and 3 reach the registers of banks 0 and 1"
        lines += remark_lines(text + ". Reserve them with RAM= and [n].")
        if self.core == "enhanced":
            lines += remark_lines(
                "The core registers (INDF0, INDF1, PCL, STATUS, FSR0L, FSR0H, FSR1L, FSR1H, "
                "BSR, WREG, PCLATH, INTCON) stand at 00-0B of every bank; k>BSR selects the "
                "bank of the others.")
            if self.linker.linear:
                lines += remark_lines(
                    f"Linear data memory: {span_text(self.linker.linear, 4)}, the general "
                    "purpose registers of the banks in one run, through FSR0 or FSR1; "
                    "FSR addresses from 8000 read program memory.")
        eeprom = self.linker.protected_code.get("eedata")
        if eeprom:
            lines += remark_lines(
                f"Data EEPROM: {span_size(eeprom)} bytes at {span_text(eeprom, 4)}: "
                f"ORG ${eeprom[0]:04X}, then one raw word per byte (\\00NN).")
        idlocs = self.linker.protected_code.get(".idlocs")
        if idlocs:
            lines += remark_lines(f"ID locations: {span_text(idlocs, 4)} (ORG ${idlocs[0]:04X}).")
        calib = self.linker.protected_code.get(".calib")
        if calib:
            lines += remark_lines(f"Word {calib[0]:04X} holds factory calibration: leave it.")
        words = ", ".join(f"{a:04X}" for _, a, _ in self.header.config_words)
        plural = "s" if len(self.header.config_words) > 1 else ""
        lines += remark_lines(f"Configuration word{plural}: {words} (see the end of this file).")
        lines.append(";")
        lines += remark_lines("The lines that start with ;@ say the same for korva-asm, which "
                              "checks a program against them.")
        lines += self.memory_facts(last, gpr, shared, oscval or calib)
        return lines

    def memory_facts(self, last, gpr, shared, calibration):
        banks = max([self.header.banks] + [bank + 1 for bank, _, _ in self.header.registers])
        facts = [f";@chip {self.chip}"]
        if self.core == "enhanced":
            facts.append(";@core enhanced")
        facts += [f";@program 0000-{last:04X}", f";@banks {banks}"]
        ranges = list(gpr) + ([shared] if shared else [])
        if shared or gpr is self.linker.gpr:
            ranges += self.linker.shared_mirrors
        facts += [f";@gpr {span_text(span)}" for span in sorted(ranges)]
        for key, name in (("eedata", "eeprom"), (".idlocs", "id")):
            span = self.linker.protected_code.get(key)
            if span:
                facts.append(f";@{name} {span_text(span, 4)}")
        if calibration:
            facts.append(f";@calibration {span_text(calibration, 4)}")
        if self.core == "enhanced" and self.linker.linear:
            facts.append(f";@linear {span_text(self.linker.linear, 4)}")
        return facts

    def register_lines(self):
        lines = []
        banks = sorted({bank for bank, _, _ in self.header.registers})
        for bank in banks:
            lines.append(section_heading(f"Registers, bank {bank}"))
            for entry_bank, name, address in self.header.registers:
                if entry_bank == bank:
                    self.define(name, f"${address:02X}", address)
            lines += self.take_lines()
            lines.append("")
        return lines

    def bit_lines(self):
        lines = []
        addresses = {name: address for _, name, address in self.header.registers}
        skipped = [register for register, _ in self.header.bit_groups
                   if register.startswith(self.skipped_bits)]
        for register, bits in self.header.bit_groups:
            if register in skipped:
                continue
            if register in self.left_out:
                # A register the notation cannot name (AAD1CH reads as a
                # number): its bits would name nothing.
                skipped.append(register)
                continue
            if self.name_room is not None:
                new = {name for name, _ in bits if name not in self.defined}
                if len(self.defined) + len(new) > self.name_room:
                    skipped.append(register)
                    continue
            where = f" ({register} EQU ${addresses[register]:02X})" if register in addresses else ""
            heading = section_heading(f"{register} bits{where}")
            if len(heading) > LINE_ROOM:
                heading = section_heading(f"{register} bits")
            lines.append(heading)
            if not self.numbered_bits:
                bits = [(name, bit) for name, bit in bits if not is_numbered_bit(name, bit)]
            repeated = [name for name, bit in bits
                        if not self.define(name, str(bit), bit) and name not in self.left_out]
            lines += self.take_lines()
            if repeated:
                lines += remark_lines("Defined above with the same bit numbers: " +
                                      " ".join(repeated) + ".")
            lines.append("")
        if skipped:
            lines.append(section_heading("Bits left out"))
            lines += remark_lines("The bits of " + " ".join(skipped) + " are not named here, "
                                  "so that the program keeps room for its own names: write "
                                  "their bit numbers.")
            lines.append("")
        if not self.numbered_bits:
            lines.append(section_heading("Numbered bits left out"))
            lines += remark_lines("Bits whose name ends in their own number (TRISA0, LATB7, "
                                  "ANSA1 ...) are not named here, so that the program keeps "
                                  "room for its own names: write the number, (TRISA)_BIT0<0.")
            lines.append("")
        return lines

    def take_lines(self):
        taken, self.lines = self.lines, []
        return taken

    def config_lines(self):
        lines = []
        example = []
        for word, address, groups in self.header.config_words:
            fields = config_fields(self.chip, groups)
            blank = ERASED & ~fixed_zero_bits(groups)
            lines.append(section_heading(f"{word} at {address:04X}"))
            used = 0
            for field in fields:
                used |= field.mask
            lines += remark_lines(
                "Each setting below is the whole word with its field set and every other bit "
                f"1: AND one setting of each field, starting from {ERASED:04X}, or let "
                f"korva-asm --chip {self.chip} --config FIELD=SETTING,... write the lines.")
            unused = ~used & blank
            if unused:
                lines += remark_lines(f"Bits {bits_text(unused)} are no setting: keep them 1.")
            if blank != ERASED:
                lines += remark_lines(f"Bits {bits_text(ERASED & ~blank)} are 0 in every "
                                      "setting: keep them 0.")
            lines.append(f";@word {word} {address:04X} {blank:04X}")
            for field in fields:
                lines += self.field_lines(field)
            lines.append("")
            example.append((word, address, [self.example_choice(f) for f in fields]))
        if example:
            lines += self.example_lines(example)
        return lines

    @staticmethod
    def field_lines(field):
        plural = "s" if "-" in bits_text(field.mask) or "," in bits_text(field.mask) else ""
        lines = [";", f"; {field.name}, bit{plural} {bits_text(field.mask)}:",
                 f";@field {field.name} {field.mask:04X}"]
        for setting, value, remark in field.settings:
            lines.append(f";@set {setting} {value:04X}")
            if remark:
                lines += textwrap.wrap(remark, LINE_ROOM, initial_indent=";@- ",
                                       subsequent_indent=";@- ", break_on_hyphens=False)
        return lines

    @staticmethod
    def example_choice(field):
        names = {f"_{field.name}_{setting}": (f"{field.name}={setting}", value, remark)
                 for setting, value, remark in field.settings}
        for preferred in EXAMPLE_CHOICES:
            for name in preferred:
                if name in names:
                    return names[name]
        erased = [entry for entry in field.settings if entry[1] == ERASED]
        chosen = erased[0] if erased else max(field.settings, key=lambda entry: entry[1])
        return (f"{field.name}={chosen[0]}", chosen[1], chosen[2])

    def example_lines(self, example):
        lines = [section_heading("Worked example")]
        lines += remark_lines("One setting of each field, ANDed:")
        statements = []
        for word, address, choices in example:
            result = ERASED
            lines.append(";")
            for index, (name, value, _) in enumerate(choices):
                result &= value
                lines.append(f";   {'   ' if index == 0 else 'AND'} {value:04X} {name}")
            lines.append(f";   --> {result:04X} for {word} at {address:04X}")
            statements.append(f"\\{result:04X}")
        lines.append(";")
        lines += remark_lines("In the program (not in this file):")
        address = example[0][1]
        lines.append(f";         ORG ${address:04X}")
        lines += [f";         {statement}" for statement in statements]
        return lines

    def text(self, sources):
        registers = self.register_lines()
        bits = self.bit_lines()
        config = self.config_lines()
        count = len(self.defined)
        intro = remark_lines(f"PIC{self.chip}: registers, bits and configuration for KORVA.")
        intro += remark_lines("Written by scripts/generate_chips.py from the gputils files " +
                              " and ".join(sources) + "; do not edit by hand.")
        if self.header.copyright:
            intro += remark_lines(f"The header says: {self.header.copyright}.")
        intro += remark_lines("gputils is free software under the GNU General Public License, "
                              "version 2 or later, and so is this file; the package's copyright "
                              "file says so.")
        intro.append(";")
        intro += remark_lines(f"Use: korva-asm --chip {self.chip} SOURCE..., or put this file "
                              "first in the project.")
        port = "PORTB" if "PORTB" in self.defined else "GPIO"
        bit_example = "(INTCON)_BITGIE<1" if self.core == "enhanced" else "(STATUS)_BITRP0<1"
        intro += remark_lines(f"Registers are addresses: ({port}) is the register, {port} its "
                              f"address. Bits are bit numbers: {bit_example}.")
        intro += remark_lines("W and F are not defined: they are the destination letters.")
        intro += remark_lines(f"This file defines {count} names; a program has room for "
                              f"{SYMBOL_LIMIT} labels, constants and subroutines in all.")
        intro.append(";")
        intro += self.memory_remarks()
        intro.append("")
        if self.left_out:
            bits.append(section_heading("Names left out"))
            bits += remark_lines("The header has these names, which the notation cannot take "
                                 "as constants: " + "; ".join(
                                     f"{name} ({why})" for name, why in self.left_out.items()) +
                                 ". Use the value.")
            bits.append("")
        lines = intro + registers + bits + config
        for line in lines:
            if len(line) > LINE_ROOM and not re.match(r"\w+\s+EQU ", line):
                raise ChipError(f"{self.chip}: line too long: {line}")
        return "\r\n".join(lines) + "\r\n"


def is_numbered_bit(name, bit):
    """Whether a bit's name is a prefix and the bit's own number (RA0, TRISB7)."""
    return len(name) > 1 and name.endswith(str(bit)) and not name[:-1][-1:].isdigit()


def register_values(text):
    return {m.group(1): hex_value(m.group(2))
            for m in re.finditer(r"^(\w+)\s+EQU\s+H'([0-9A-Fa-f]+)'", text, re.M)}


def core_of_header(header_text):
    """The core of a header's part: "classic" or "enhanced" mid-range, or
    None for any other part (12-bit, PIC18)."""
    registers = register_values(header_text)
    if all(registers.get(name) == address for name, address in ENHANCED_CORE_REGISTERS.items()):
        return "enhanced" if registers.get("_CONFIG1") == ENHANCED_CONFIG_ADDRESS else None
    if any(registers.get(name) != address for name, address in CORE_REGISTERS.items()):
        return None
    if any(name in registers for name in ENHANCED_REGISTERS):
        return None
    return "classic"


def midrange_chips(header_dir, linker_dir):
    """The chips of the headers that are mid-range parts with a linker
    script, by name (16F877A), sorted, each with its core."""
    chips = []
    for header in sorted(header_dir.glob("p*.inc")):
        low = header.stem[1:]
        if not (linker_dir / f"{low}_g.lkr").exists():
            continue
        core = core_of_header(header.read_text(encoding="latin-1"))
        if core:
            chips.append((low.upper(), core))
    return chips


def chip_text(chip, header_dir, linker_dir, core="classic"):
    low = chip.lower()
    header_path = header_dir / f"p{low}.inc"
    linker_path = linker_dir / f"{low}_g.lkr"
    header = Header(header_path.read_text(encoding="latin-1"))
    linker = LinkerScript(linker_path.read_text(encoding="latin-1"))
    sources = [header_path.name, linker_path.name]
    chip_file = ChipFile(chip, header, linker, core=core)
    text = chip_file.text(sources)
    if len(chip_file.defined) > NAME_BUDGET:
        chip_file = ChipFile(chip, header, linker, BITS_LEFT_OUT_OVER_BUDGET, core)
        text = chip_file.text(sources)
    if len(chip_file.defined) > NAME_BUDGET:
        chip_file = ChipFile(chip, header, linker, BITS_LEFT_OUT_OVER_BUDGET, core,
                             numbered_bits=False)
        text = chip_file.text(sources)
    if len(chip_file.defined) > NAME_BUDGET:
        # The enhanced parts' peripherals name more bits than a program has
        # room for: the registers that come first in the header (the core,
        # the ports, the interrupts, the timers) keep theirs.
        chip_file = ChipFile(chip, header, linker, BITS_LEFT_OUT_OVER_BUDGET, core,
                             numbered_bits=False, name_room=NAME_BUDGET)
        text = chip_file.text(sources)
        if len(chip_file.defined) > NAME_BUDGET:
            raise ChipError(f"{chip}: {len(chip_file.defined)} names, more than {NAME_BUDGET}")
    return text


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="compare with the files instead of writing them")
    parser.add_argument("--headers", type=pathlib.Path, default=HEADER_DIR)
    parser.add_argument("--linker-scripts", type=pathlib.Path, default=LINKER_DIR)
    parser.add_argument("--out", type=pathlib.Path,
                        default=pathlib.Path(__file__).resolve().parent.parent / "chips")
    args = parser.parse_args()
    if args.check and not args.headers.is_dir():
        # Tests run the check; without gputils there is nothing to compare.
        print(f"skipped: gputils is not installed ({args.headers} is missing)")
        return SKIPPED
    stale = []
    try:
        for chip, core in midrange_chips(args.headers, args.linker_scripts):
            text = chip_text(chip, args.headers, args.linker_scripts, core).encode("ascii")
            path = args.out / f"{chip}.inc"
            if args.check:
                if not path.exists() or path.read_bytes() != text:
                    stale.append(path.name)
            else:
                args.out.mkdir(parents=True, exist_ok=True)
                path.write_bytes(text)
    except (ChipError, OSError) as error:
        print(f"generate_chips.py: {error}", file=sys.stderr)
        return 2
    if stale:
        print("generate_chips.py: not up to date: " + " ".join(stale), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
