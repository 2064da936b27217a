#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Checks translated language files against the English one the program writes.

Usage: check_language.py ENGLISH_INI TRANSLATION_INI...

A translation must name its locale, give every key of English.ini a text, hold no key
English.ini has not (a stale or mistyped key), keep the message conversions (%s, %d) in
their order, and keep one keyboard mnemonic ("&") where the English text has one.
"""
import configparser
import re
import sys

CONVERSION = re.compile(r"%[-+ #0]*\d*[sd]")


def read(path):
    parser = configparser.RawConfigParser(delimiters=("=",), comment_prefixes=(";", "#"),
                                          strict=True, interpolation=None)
    parser.optionxform = str.lower  # keys match without regard to letter case
    with open(path, encoding="utf-8") as file:
        parser.read_file(file)
    return parser


def mnemonics(text):
    return len(re.findall(r"&(?!&)", text.replace("&&", "")))


def check(english, path):
    problems = []
    translation = read(path)
    if not translation.get("Language", "Locale", fallback=""):
        problems.append("no [Language] Locale")
    for section in english.sections():
        if section == "Language":
            continue
        for key, text in english.items(section):
            if not text:
                continue
            if not translation.has_option(section, key) or not translation.get(section, key):
                problems.append(f"[{section}] {key} is missing")
                continue
            translated = translation.get(section, key)
            if CONVERSION.findall(text) != CONVERSION.findall(translated):
                problems.append(f"[{section}] {key}: conversions differ from '{text}'")
            if mnemonics(text) == 1 and mnemonics(translated) != 1:
                problems.append(f"[{section}] {key}: needs one '&' mnemonic")
    for section in translation.sections():
        if section == "Language":
            continue
        for key, _ in translation.items(section):
            if not english.has_option(section, key):
                problems.append(f"[{section}] {key} is not a key of English.ini")
    return problems


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    english = read(sys.argv[1])
    failed = False
    for path in sys.argv[2:]:
        problems = check(english, path)
        for problem in problems:
            print(f"{path}: {problem}")
        failed = failed or bool(problems)
        if not problems:
            print(f"{path}: complete")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
