"""Prints every URL that a page asked for, from a Chromium net log: requests
whose initiator is an origin (the page's own, "null" for a file), leaving
out the browser's own background requests and the page's file itself."""
import json
import sys

events = json.load(open(sys.argv[1]))["events"]
for event in events:
    params = event.get("params", {})
    url = params.get("url", "")
    if "initiator" in params and params["initiator"] != "not an origin" and not url.startswith("file://"):
        print(url)
