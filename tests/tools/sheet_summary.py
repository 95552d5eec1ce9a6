# What each sheet of an .xlsx workbook holds, read with the standard zip module (no
# spreadsheet program): its name, the number of its last row, its heading, and the numbers
# in column A below the heading (first, last, how many, and whether each is one more than
# the one before), the texts below the heading, whether the heading row is frozen, and the
# first data row's cells as written: kind (number, text, boolean), value and number format;
# and the values of the first 50 data rows, column by column ("" where a cell is empty).
# Prints one JSON array. Usage: python3 sheet_summary.py WORKBOOK
import json, re, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
names = re.findall(r'<sheet name="([^"]*)"', z.read('xl/workbook.xml').decode())
styles = z.read('xl/styles.xml').decode()
codes = {m[0]: m[1] for m in re.findall(r'<numFmt numFmtId="(\d+)" formatCode="([^"]*)"', styles)}
xfs = re.findall(r'<xf [^>]*?numFmtId="(\d+)"', re.search(r'<cellXfs.*?</cellXfs>', styles, re.S).group(0))
shared = [re.sub(r'<[^>]+>', '', si) for si in re.findall(r'<si>(.*?)</si>', z.read('xl/sharedStrings.xml').decode(), re.S)] \
    if 'xl/sharedStrings.xml' in z.namelist() else []

def column(attrs):
    n = 0
    for ch in re.search(r'r="([A-Z]+)', attrs).group(1): n = n * 26 + ord(ch) - 64
    return n - 1

def cells(row_xml):
    out = []
    for attrs, body in re.findall(r'<c ([^>]*?)(?:/>|>(.*?)</c>)', row_xml, re.S):
        while len(out) < column(attrs): out.append({'kind': 'empty', 'value': '', 'format': ''})
        kind = re.search(r' t="(\w+)"', ' ' + attrs)
        kind = kind.group(1) if kind else 'n'
        style = re.search(r' s="(\d+)"', ' ' + attrs)
        fmt = codes.get(xfs[int(style.group(1))], '') if style else ''
        value = re.search(r'<v>([^<]*)</v>', body or '')
        value = value.group(1) if value else ''.join(re.findall(r'<t[^>]*>([^<]*)</t>', body or ''))
        if kind == 's': value = shared[int(value)]
        out.append({'kind': {'n': 'number', 'b': 'boolean'}.get(kind, 'text'), 'value': value, 'format': fmt})
    return out

out = []
for i, name in enumerate(names, 1):
    xml = z.read('xl/worksheets/sheet%d.xml' % i).decode()
    rows = re.findall(r'<row r="(\d+)"[^>]*>(.*?)</row>', xml, re.S)
    heading = re.findall(r'<t[^>]*>([^<]*)</t>', rows[0][1]) if rows else []
    values = [float(v) for r in rows[1:] for v in re.findall(r'<c r="A\d+"[^>]*><v>([^<]*)</v>', r[1])]
    texts = [t for r in rows[1:] for t in re.findall(r'<t[^>]*>([^<]*)</t>', r[1])]
    steps = all(b - a == 1 for a, b in zip(values, values[1:]))
    out.append({'name': name, 'lastRow': int(rows[-1][0]) if rows else 0, 'heading': heading,
                'count': len(values), 'first': values[0] if values else 0, 'last': values[-1] if values else 0,
                'consecutive': steps, 'texts': texts,
                'frozen': bool(re.search(r'<pane [^>]*ySplit="1"[^>]*state="frozen"', xml)),
                'firstRow': cells(rows[1][1]) if len(rows) > 1 else [],
                'rows': [[c['value'] for c in cells(r[1])] for r in rows[1:51]]})
print(json.dumps(out))
