#!/usr/bin/env python3
"""Makes .docx and .odt files for the document engine's tests and benchmarks.

    make_ooxml_corpus.py bench DIR [COUNT]   COUNT .docx and COUNT .odt files of 2-5 pages each
                                             (raw XML, seeded, so every run gives the same files)
    make_ooxml_corpus.py hostile DIR         the hostile packages the reader tests build in C++,
                                             as files, for trying the command line by hand
    make_ooxml_corpus.py check FILE...       opens each file with python-docx or odfpy (when
                                             installed) and prints its paragraphs; exit 1 on failure

The hostile set: deep.docx (20,000 nested content controls), nul.docx (&#0; in a run),
bomb.docx (8 MB of zeros deflated to 8 KB), spaces.odt (text:s asking for 2^31 spaces),
deep.odt (40,000 nested spans), odt-names-docx.odt (a valid .odt mentioning
word/document.xml), default-ns.docx (a valid .docx in the default namespace).
"""
import os
import random
import sys
import zipfile

W = "http://schemas.openxmlformats.org/wordprocessingml/2006/main"
CONTENT_TYPES = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                 '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                 '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                 '<Default Extension="xml" ContentType="application/xml"/>'
                 '<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-'
                 'officedocument.wordprocessingml.document.main+xml"/></Types>')
RELS = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
        '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/'
        'officeDocument" Target="word/document.xml"/></Relationships>')
ODT_NS = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
          'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
          'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" office:version="1.2"')
MANIFEST = ('<?xml version="1.0" encoding="UTF-8"?>\n<manifest:manifest '
            'xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.2">'
            '<manifest:file-entry manifest:full-path="/" manifest:media-type="application/vnd.oasis.opendocument.text"/>'
            '<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>'
            '</manifest:manifest>')
WORDS = ("the contract party agreement shall foo term notice payment delivery goods services "
         "within days written consent liability damages clause section").split()


def docx(path, body, ns='xmlns:w="%s"' % W, prefix="w:"):
    xml = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<%sdocument %s><%sbody>%s</%sbody></%sdocument>'
           % (prefix, ns, prefix, body, prefix, prefix))
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", CONTENT_TYPES)
        z.writestr("_rels/.rels", RELS)
        z.writestr("word/document.xml", xml)


def odt(path, text):
    xml = ('<?xml version="1.0" encoding="UTF-8"?>\n<office:document-content %s><office:body><office:text>%s'
           '</office:text></office:body></office:document-content>' % (ODT_NS, text))
    with zipfile.ZipFile(path, "w") as z:
        z.writestr(zipfile.ZipInfo("mimetype"), "application/vnd.oasis.opendocument.text")
        z.writestr("content.xml", xml, zipfile.ZIP_DEFLATED)
        z.writestr("META-INF/manifest.xml", MANIFEST, zipfile.ZIP_DEFLATED)


def sentence(rng):
    return " ".join(rng.choice(WORDS) for _ in range(rng.randint(8, 20))).capitalize() + "."


def bench(directory, count):
    rng = random.Random(15)
    os.makedirs(directory, exist_ok=True)
    for i in range(count):
        paragraphs = rng.randint(25, 60)  # about 2-5 pages of text
        runs = []
        spans = []
        for _ in range(paragraphs):
            a, b = sentence(rng), sentence(rng)
            runs.append('<w:p><w:pPr><w:jc w:val="both"/></w:pPr><w:r><w:t xml:space="preserve">%s </w:t></w:r>'
                        '<w:r><w:rPr><w:b/></w:rPr><w:t>%s</w:t></w:r></w:p>' % (a, b))
            spans.append('<text:p text:style-name="P1">%s <text:span text:style-name="T1">%s</text:span></text:p>'
                         % (a, b))
        docx(os.path.join(directory, "doc%04d.docx" % i), "".join(runs) + "<w:sectPr/>")
        odt(os.path.join(directory, "doc%04d.odt" % i), "".join(spans))


def hostile(directory):
    os.makedirs(directory, exist_ok=True)
    n = 20000
    docx(os.path.join(directory, "deep.docx"),
         "<w:p>" + "<w:sdt><w:sdtContent>" * n + "<w:r><w:t>x</w:t></w:r>" + "</w:sdtContent></w:sdt>" * n + "</w:p>")
    docx(os.path.join(directory, "nul.docx"), "<w:p><w:r><w:t>a&#0;b</w:t></w:r></w:p>")
    with zipfile.ZipFile(os.path.join(directory, "bomb.docx"), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", CONTENT_TYPES)
        z.writestr("word/document.xml", b"\0" * (8 << 20))
    odt(os.path.join(directory, "spaces.odt"), '<text:p>a<text:s text:c="2147483648"/></text:p>')
    odt(os.path.join(directory, "deep.odt"),
        "<text:p>" + "<text:span>" * 40000 + "x" + "</text:span>" * 40000 + "</text:p>")
    odt(os.path.join(directory, "odt-names-docx.odt"), "<text:p>see word/document.xml</text:p>")
    docx(os.path.join(directory, "default-ns.docx"), "<p><r><t>default namespace</t></r></p>",
         ns='xmlns="%s"' % W, prefix="")


def check(paths):
    failed = 0
    for path in paths:
        try:
            if path.endswith(".docx"):
                import docx as python_docx
                print(path, [p.text for p in python_docx.Document(path).paragraphs][:3])
            else:
                from odf.opendocument import load
                from odf import text, teletype
                print(path, [teletype.extractText(p) for p in load(path).getElementsByType(text.P)][:3])
        except ImportError as e:
            print(path, "skipped:", e)
        except Exception as e:  # any failure to open is what this reports
            print(path, "FAILED:", e)
            failed = 1
    return failed


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "bench":
        bench(sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else 1000)
    elif len(sys.argv) == 3 and sys.argv[1] == "hostile":
        hostile(sys.argv[2])
    elif len(sys.argv) >= 3 and sys.argv[1] == "check":
        sys.exit(check(sys.argv[2:]))
    else:
        sys.exit(__doc__)
