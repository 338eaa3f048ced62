#!/usr/bin/python3
"""check_report.py SCHEMA REPORT JUNIT: validates a line report of pelorin-capture against
its JSON Schema (draft 7) and checks the counts of its JUnit file against its test cases.
Prints {"errors": [...], "cases": {test case name: "pass", "failure", "error", "skipped"}}."""
import json
import sys
import xml.etree.ElementTree as ET

import jsonschema


def state(case):
    return next((t for t in ("failure", "error", "skipped") if case.find(t) is not None), "pass")


def junit_cases(path, errors):
    root = ET.parse(path).getroot()
    # The root's counts are those of all its suites together.
    for suite in [root] + root.findall("testsuite"):
        states = [state(c) for c in suite.iter("testcase")]
        for attr, n in (("tests", len(states)), ("failures", states.count("failure")),
                        ("errors", states.count("error")), ("skipped", states.count("skipped"))):
            if suite.get(attr) != str(n):
                errors.append(f"<{suite.tag}> {attr}={suite.get(attr)}, but {n} such test cases")
    return {c.get("name"): state(c) for c in root.iter("testcase")}


def main(schema_path, report_path, junit_path):
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    with open(report_path, encoding="utf-8") as f:
        report = json.load(f)
    jsonschema.Draft7Validator.check_schema(schema)
    errors = ["/".join(str(p) for p in e.absolute_path) + ": " + e.message
              for e in jsonschema.Draft7Validator(schema).iter_errors(report)]
    cases = junit_cases(junit_path, errors)
    print(json.dumps({"errors": errors, "cases": cases}))


if __name__ == "__main__":
    main(*sys.argv[1:])
