#!/usr/bin/python3
"""Checks a line report of pelorin-capture as a line's tools would read it.

Usage: check_report.py SCHEMA REPORT [JUNIT]

Validates REPORT against the JSON Schema (draft 7) and, with JUNIT, parses the XML and
counts its test cases from the elements themselves. Prints one JSON object:
  {"schemaErrors": [...], "junit": {"tests", "failures", "errors", "skipped",
   "declared": {the suite's own counts}, "cases": {name: "pass"|"failure"|"error"|"skipped"},
   "messages": {name: message}}}
Exit status 0 when the checks could run (the result says what they found), 2 otherwise.
"""
import json
import sys
import xml.etree.ElementTree as ET

import jsonschema


def junit_counts(path):
    root = ET.parse(path).getroot()
    suites = [root] if root.tag == "testsuite" else root.findall("testsuite")
    out = {"tests": 0, "failures": 0, "errors": 0, "skipped": 0, "cases": {}, "messages": {},
           "declared": {}}
    for suite in suites:
        for key in ("tests", "failures", "errors", "skipped"):
            out["declared"][key] = out["declared"].get(key, 0) + int(suite.get(key, "0"))
        for case in suite.findall("testcase"):
            out["tests"] += 1
            state, message = "pass", None
            for tag, name, key in (("failure", "failure", "failures"),
                                   ("error", "error", "errors"),
                                   ("skipped", "skipped", "skipped")):
                element = case.find(tag)
                if element is not None:
                    state, message = name, element.get("message")
                    out[key] += 1
                    break
            out["cases"][case.get("name")] = state
            if message is not None:
                out["messages"][case.get("name")] = message
    return out


def main(argv):
    if len(argv) not in (3, 4):
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], encoding="utf-8") as f:
        schema = json.load(f)
    with open(argv[2], encoding="utf-8") as f:
        report = json.load(f)
    jsonschema.Draft7Validator.check_schema(schema)
    validator = jsonschema.Draft7Validator(schema)
    errors = ["/".join(str(p) for p in e.absolute_path) + ": " + e.message
              for e in validator.iter_errors(report)]
    result = {"schemaErrors": errors}
    if len(argv) == 4:
        result["junit"] = junit_counts(argv[3])
    print(json.dumps(result))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
