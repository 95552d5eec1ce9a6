# What each sheet of an .xlsx workbook holds, read with the standard zip module (no
# spreadsheet program): its name, the number of its last row, its heading, and the numbers
# in column A below the heading (first, last, how many, and whether each is one more than
# the one before), and the texts below the heading. Prints one JSON array. Usage: python3 sheet_summary.py WORKBOOK
import json, re, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
names = re.findall(r'<sheet name="([^"]*)"', z.read('xl/workbook.xml').decode())
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
                'consecutive': steps, 'texts': texts})
print(json.dumps(out))
