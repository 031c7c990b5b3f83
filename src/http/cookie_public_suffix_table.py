#!/usr/bin/env python3
"""Turns the Public Suffix List into a C++ table: the rules sorted, in one text, and the
offset of each. Internationalised rules are written both as UTF-8 and in their "xn--" form,
the form a host name has on the wire."""
import sys


def ace(rule):
    labels = []
    for label in rule.split('.'):
        if label.isascii():
            labels.append(label)
        else:
            labels.append('xn--' + label.encode('punycode').decode('ascii'))
    return '.'.join(labels)


def main(source, target):
    rules = set()
    with open(source, encoding='utf-8') as f:
        for line in f:
            line = line.split()[0] if line.split() else ''
            if not line or line.startswith('//'):
                continue
            rule = line.lower()
            rules.add(rule)
            prefix = rule[0] if rule[0] in '!*' else ''
            body = rule[len(prefix):].lstrip('.') if prefix == '*' else rule[len(prefix):]
            rules.add(prefix + ('.' if prefix == '*' else '') + ace(body))
    rules = sorted(r.encode('utf-8') for r in rules)
    out = ['// Made at build time from the Public Suffix List; do not edit.',
           '#include <cstdint>', 'namespace {', 'constexpr char kPublicSuffixText[] =']
    offsets, at, chunk = [], 0, b''
    for r in rules:
        offsets.append(at)
        at += len(r) + 1
        chunk += r + b'\n'
        if len(chunk) > 400:
            out.append('    "' + ''.join('\\%03o' % b if b >= 0x80 or b in (0x22, 0x5c) else chr(b)
                                         for b in chunk).replace('\n', '\\n') + '"')
            chunk = b''
    if chunk:
        out.append('    "' + ''.join('\\%03o' % b if b >= 0x80 or b in (0x22, 0x5c) else chr(b)
                                     for b in chunk).replace('\n', '\\n') + '"')
    out.append(';')
    out.append('constexpr std::uint32_t kPublicSuffixOffsets[] = {')
    for i in range(0, len(offsets), 12):
        out.append('    ' + ', '.join(str(o) for o in offsets[i:i + 12]) + ',')
    out.append('};')
    out.append('}  // namespace')
    with open(target, 'w', encoding='ascii') as f:
        f.write('\n'.join(out) + '\n')


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
