#!/usr/bin/python3
"""Checks reports' JSON twins against docs/report.schema.json: validate_report.py SCHEMA FILE...
Prints each fault with its place and exits 1 when there is one."""
import json
import sys

import jsonschema

schema = json.load(open(sys.argv[1], encoding="utf-8"))
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)
faults = 0
for name in sys.argv[2:]:
    with open(name, encoding="utf-8") as f:
        document = json.load(f)
    for error in validator.iter_errors(document):
        faults += 1
        print(f"{name}: {'/'.join(map(str, error.absolute_path))}: {error.message[:300]}")
sys.exit(1 if faults else 0)
