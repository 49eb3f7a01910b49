#!/usr/bin/env python3
"""Writes one small document per feature of the main story (tables, tracked changes, fields,
pictures' alt text, text boxes, headers, footers, notes, comments, symbol characters), as raw
.odt or .docx XML, and converts each to the other formats with LibreOffice when it is
installed. Usage: make_feature_corpus.py OUTDIR [--convert]

The files in features/ were made with --convert once; the test reads them as they are, so
LibreOffice is not needed to build or to test."""
import os
import shutil
import subprocess
import sys
import tempfile
import struct
import zipfile
import zlib

ODT_NS = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
          'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
          'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
          'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
          'xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" '
          'xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" '
          'xmlns:xlink="http://www.w3.org/1999/xlink" '
          'xmlns:dc="http://purl.org/dc/elements/1.1/" '
          'xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" '
          'xmlns:meta="urn:oasis:names:tc:opendocument:xmlns:meta:1.0" office:version="1.3"')

def png():
    """A 1x1 white PNG."""
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 1, 1, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(b'\x00\xff\xff\xff')) + chunk(b'IEND', b''))


def write_odt(path, body, master='', pictures=False):
    styles = ('<?xml version="1.0" encoding="UTF-8"?><office:document-styles %s>'
              '<office:automatic-styles><style:page-layout style:name="pm1"/></office:automatic-styles>'
              '<office:master-styles><style:master-page style:name="Standard" '
              'style:page-layout-name="pm1">%s</style:master-page></office:master-styles>'
              '</office:document-styles>' % (ODT_NS, master))
    content = ('<?xml version="1.0" encoding="UTF-8"?><office:document-content %s>'
               '<office:body><office:text>%s</office:text></office:body></office:document-content>'
               % (ODT_NS, body))
    manifest = ('<?xml version="1.0" encoding="UTF-8"?><manifest:manifest '
                'xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.3">'
                '<manifest:file-entry manifest:full-path="/" manifest:media-type="application/vnd.oasis.opendocument.text"/>'
                '<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>'
                '<manifest:file-entry manifest:full-path="styles.xml" manifest:media-type="text/xml"/>'
                + ('<manifest:file-entry manifest:full-path="Pictures/p.png" manifest:media-type="image/png"/>'
                   if pictures else '') + '</manifest:manifest>')
    with zipfile.ZipFile(path, 'w') as z:
        z.writestr(zipfile.ZipInfo('mimetype'), 'application/vnd.oasis.opendocument.text')
        z.writestr('META-INF/manifest.xml', manifest, zipfile.ZIP_DEFLATED)
        z.writestr('content.xml', content, zipfile.ZIP_DEFLATED)
        z.writestr('styles.xml', styles, zipfile.ZIP_DEFLATED)
        if pictures:
            z.writestr('Pictures/p.png', png())


W = 'xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"'


def write_docx(path, body):
    doc = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:document %s><w:body>%s'
           '<w:sectPr/></w:body></w:document>' % (W, body))
    types = ('<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
             '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
             '<Default Extension="xml" ContentType="application/xml"/>'
             '<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>')
    rels = ('<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
            '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/></Relationships>')
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
        z.writestr('[Content_Types].xml', types)
        z.writestr('_rels/.rels', rels)
        z.writestr('word/document.xml', doc)


def p(text):
    return '<text:p>%s</text:p>' % text


def cell(content):
    return '<table:table-cell office:value-type="string">%s</table:table-cell>' % content


def table(name, rows, columns):
    return ('<table:table table:name="%s"><table:table-column table:number-columns-repeated="%d"/>%s'
            '</table:table>' % (name, columns,
                                ''.join('<table:table-row>%s</table:table-row>' % ''.join(cell(c) for c in r)
                                        for r in rows)))


CHANGES = ('<text:tracked-changes>'
           '<text:changed-region text:id="ins1"><text:insertion><office:change-info>'
           '<dc:creator>A</dc:creator><dc:date>2024-01-01T00:00:00</dc:date></office:change-info>'
           '</text:insertion></text:changed-region>'
           '<text:changed-region text:id="del1"><text:deletion><office:change-info>'
           '<dc:creator>A</dc:creator><dc:date>2024-01-01T00:00:00</dc:date></office:change-info>'
           '<text:p>removed </text:p></text:deletion></text:changed-region></text:tracked-changes>')

FRAME = ('<draw:frame draw:name="%s" text:anchor-type="paragraph" svg:width="3cm" svg:height="2cm">%s</draw:frame>')

# Each feature: (name, maker, story the word processor's model gives).
ODT_FEATURES = {
    'table': dict(body=p('Before') + table('T1', [[p('a'), p('b')], [p('c'), p('d')]], 2) + p('After')),
    'nested-table': dict(body=p('Before') + table('T1', [[p('x') + table('T2', [[p('i1'), p('i2')]], 2) + p('y'),
                                                           p('z')]], 2) + p('After')),
    'tracked-changes': dict(body=CHANGES + p('Keep <text:change-start text:change-id="ins1"/>added '
                                             '<text:change-end text:change-id="ins1"/><text:change text:change-id="del1"/>end.')),
    'field': dict(body=p('Page <text:page-number text:select-page="current">1</text:page-number> of the text.')),
    'alt-text': dict(body=p(FRAME % ('Picture', '<draw:image xlink:href="Pictures/p.png" xlink:type="simple" '
                                     'xlink:show="embed" xlink:actuate="onLoad"/><svg:title>Title words</svg:title>'
                                     '<svg:desc>Alt words</svg:desc>') + 'Before the picture. After the picture.'),
                     pictures=True),
    'text-box': dict(body=p(FRAME % ('Box', '<draw:text-box><text:p>Boxed words</text:p></draw:text-box>')
                            + 'Text around the box.')),
    'header': dict(body=p('Body text.'), master='<style:header><text:p>Header words</text:p></style:header>'),
    'footer': dict(body=p('Body text.'), master='<style:footer><text:p>Footer words</text:p></style:footer>'),
    'footnote': dict(body=p('Noted<text:note text:id="n1" text:note-class="footnote"><text:note-citation>1'
                            '</text:note-citation><text:note-body><text:p>Note words</text:p></text:note-body>'
                            '</text:note> text.')),
    'comment': dict(body=p('Commented<office:annotation><dc:creator>A</dc:creator><dc:date>2024-01-01T00:00:00'
                           '</dc:date><text:p>Comment words</text:p></office:annotation> text.')),
}

R = lambda t: '<w:r><w:t xml:space="preserve">%s</w:t></w:r>' % t
MOVE_INFO = 'w:author="A" w:date="2024-01-01T00:00:00Z"'
DOCX_FEATURES = {
    'moved-text': '<w:p>%s<w:moveFromRangeStart w:id="1" w:name="move1" %s/><w:moveFrom w:id="2" %s>%s</w:moveFrom>'
                  '<w:moveFromRangeEnd w:id="1"/>%s<w:moveToRangeStart w:id="3" w:name="move1" %s/>'
                  '<w:moveTo w:id="4" %s>%s</w:moveTo><w:moveToRangeEnd w:id="3"/>%s</w:p>'
                  % (R('Start '), MOVE_INFO, MOVE_INFO, R('moved '), R('middle '), MOVE_INFO, MOVE_INFO,
                     R('moved '), R('end.')),
    'symbol': '<w:p>%s<w:r><w:sym w:font="Symbol" w:char="F0B7"/></w:r>%s</w:p>' % (R('A '), R(' B')),
}


def main():
    out = sys.argv[1]
    convert = '--convert' in sys.argv
    os.makedirs(out, exist_ok=True)
    made = []
    for name, f in ODT_FEATURES.items():
        path = os.path.join(out, name + '.odt')
        write_odt(path, f['body'], f.get('master', ''), f.get('pictures', False))
        made.append((path, ['docx', 'rtf', 'doc']))
    for name, body in DOCX_FEATURES.items():
        path = os.path.join(out, name + '.docx')
        write_docx(path, body)
        made.append((path, ['odt', 'rtf', 'doc']))
    if not convert:
        return
    office = shutil.which('soffice') or shutil.which('libreoffice')
    if not office:
        sys.exit('LibreOffice is not installed: only the source documents were written')
    # One LibreOffice run per target format: each run takes seconds to start.
    with tempfile.TemporaryDirectory() as profile:
        for ext in ['docx', 'odt', 'rtf', 'doc']:
            sources = [path for path, formats in made if ext in formats]
            filt = {'doc': 'doc:MS Word 97', 'docx': 'docx:MS Word 2007 XML', 'rtf': 'rtf', 'odt': 'odt'}[ext]
            subprocess.run([office, '-env:UserInstallation=file://' + profile, '--headless',
                            '--convert-to', filt, '--outdir', out] + sources, check=True,
                           stdout=subprocess.DEVNULL)

if __name__ == '__main__':
    main()
