#!/usr/bin/python3
"""check_report.py SCHEMA REPORT [JUNIT]: validates a line report of pelorin-capture
against the JSON Schema (draft 7) and counts the test cases of its JUnit file from the
elements themselves. Prints {"schemaErrors": [...], "junit": {"tests", "failures",
"errors", "skipped", "declared": {the suite's own counts}, "cases": {name: state}}}."""
import json
import sys
import xml.etree.ElementTree as ET

import jsonschema


def junit_counts(path):
    out = {"tests": 0, "failures": 0, "errors": 0, "skipped": 0, "cases": {}, "declared": {}}
    for suite in ET.parse(path).getroot().iter("testsuite"):
        for key in ("tests", "failures", "errors", "skipped"):
            out["declared"][key] = out["declared"].get(key, 0) + int(suite.get(key, "0"))
        for case in suite.findall("testcase"):
            out["tests"] += 1
            state = "pass"
            for tag, key in (("failure", "failures"), ("error", "errors"), ("skipped", "skipped")):
                if case.find(tag) is not None:
                    state = tag
                    out[key] += 1
                    break
            out["cases"][case.get("name")] = state
    return out


def main(schema_path, report_path, junit_path=None):
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    with open(report_path, encoding="utf-8") as f:
        report = json.load(f)
    jsonschema.Draft7Validator.check_schema(schema)
    errors = ["/".join(str(p) for p in e.absolute_path) + ": " + e.message
              for e in jsonschema.Draft7Validator(schema).iter_errors(report)]
    result = {"schemaErrors": errors}
    if junit_path:
        result["junit"] = junit_counts(junit_path)
    print(json.dumps(result))


if __name__ == "__main__":
    main(*sys.argv[1:])
