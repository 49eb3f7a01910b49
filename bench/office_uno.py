#!/usr/bin/env python3
"""Opens each .docx given in a headless LibreOffice through Python-UNO, replaces every "foo"
by "bar", stores the document as plain text under its own name and closes it."""
import os
import subprocess
import sys
import time

import uno  # python3-uno
from com.sun.star.beans import PropertyValue


def prop(name, value):
    p = PropertyValue()
    p.Name, p.Value = name, value
    return p


def main(paths):
    office = subprocess.Popen(["soffice", "--headless", "--invisible", "--norestore",
                               "--accept=socket,host=localhost,port=2083;urp;"])
    try:
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
        for _ in range(100):
            try:
                ctx = resolver.resolve("uno:socket,host=localhost,port=2083;urp;StarOffice.ComponentContext")
                break
            except Exception:
                time.sleep(0.2)
        desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
        for path in paths:
            url = uno.systemPathToFileUrl(os.path.abspath(path))
            doc = desktop.loadComponentFromURL(url, "_blank", 0, (prop("Hidden", True),))
            search = doc.createReplaceDescriptor()
            search.SearchString, search.ReplaceString = "foo", "bar"
            doc.replaceAll(search)
            doc.storeToURL(url, (prop("FilterName", "Text"),))
            doc.close(True)
    finally:
        office.terminate()
        office.wait()


if __name__ == "__main__":
    main(sys.argv[1:])
