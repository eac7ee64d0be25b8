#!/usr/bin/env python3
"""Character error rate of recognised texts against their ground truth.

  cer.py TRUTH HYPOTHESIS...   prints the CER of each hypothesis file, or of
                               the "text" of a fileprobe JSON line in it.
Both sides are compared in NFC with every run of white space as one space:
line breaks depend on the layout, not on the reading.
"""
import json
import sys
import unicodedata


def normalised(text):
    return " ".join(unicodedata.normalize("NFC", text).split())


def distance(a, b):
    previous = list(range(len(b) + 1))
    for i, ca in enumerate(a, 1):
        current = [i]
        for j, cb in enumerate(b, 1):
            current.append(min(previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (ca != cb)))
        previous = current
    return previous[-1]


def read_hypothesis(path):
    raw = open(path, encoding="utf-8", errors="replace").read()
    try:
        return json.loads(raw)["text"]
    except (ValueError, KeyError, TypeError):
        return raw


truth = normalised(open(sys.argv[1], encoding="utf-8").read())
print(" ".join("%.4f" % (distance(normalised(read_hypothesis(p)), truth) / len(truth))
               for p in sys.argv[2:]))
