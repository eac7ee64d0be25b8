#!/usr/bin/env python3
"""Character error rate of recognised texts against their ground truth.

  cer.py [--no-space] TRUTH HYPOTHESIS...
                               prints the CER of each hypothesis file, or of
                               the "text" of a fileprobe JSON line in it.
Both sides are compared in NFC with every run of white space as one space:
line breaks depend on the layout, not on the reading. With --no-space (or
ignore_space=True) all white space is removed before the comparison, so
only the characters count, not where the words or lines were split.
"""
import json
import sys
import unicodedata


def normalised(text, ignore_space=False):
    words = unicodedata.normalize("NFC", text).split()
    return "".join(words) if ignore_space else " ".join(words)


def distance(a, b):
    """Levenshtein distance, bit-parallel over `a` (Myers, Hyyro): whole
    pages of reference text compare in well under a second."""
    if not a or not b:
        return len(a) + len(b)
    mask = (1 << len(a)) - 1
    top = 1 << (len(a) - 1)
    equal = {}
    for i, character in enumerate(a):
        equal[character] = equal.get(character, 0) | (1 << i)
    plus, minus, score = mask, 0, len(a)
    for character in b:
        eq = equal.get(character, 0)
        xv = eq | minus
        xh = (((eq & plus) + plus) ^ plus) | eq
        horizontal_plus = (minus | ~(xh | plus)) & mask
        horizontal_minus = plus & xh
        if horizontal_plus & top:
            score += 1
        elif horizontal_minus & top:
            score -= 1
        horizontal_plus = ((horizontal_plus << 1) | 1) & mask
        horizontal_minus = (horizontal_minus << 1) & mask
        plus = (horizontal_minus | ~(xv | horizontal_plus)) & mask
        minus = horizontal_plus & xv
    return score


def read_hypothesis(path):
    raw = open(path, encoding="utf-8", errors="replace").read()
    try:
        return json.loads(raw)["text"]
    except (ValueError, KeyError, TypeError):
        return raw


def cer(truth, hypothesis, ignore_space=False):
    """Edits per reference character, both texts normalised."""
    truth = normalised(truth, ignore_space)
    return distance(normalised(hypothesis, ignore_space), truth) / max(len(truth), 1)


if __name__ == "__main__":
    arguments = sys.argv[1:]
    no_space = "--no-space" in arguments
    arguments = [a for a in arguments if a != "--no-space"]
    reference = open(arguments[0], encoding="utf-8").read()
    print(" ".join("%.4f" % cer(reference, read_hypothesis(p), no_space) for p in arguments[1:]))
