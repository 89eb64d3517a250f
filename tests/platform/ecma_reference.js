// Reference runs for the differential test: each input line is a case
//   flags TAB pattern TAB subject TAB replacement
// with every string given as comma-separated hexadecimal UTF-16 code units. Each output line is
// "ERR" when the pattern does not compile, else the matches (as the component reports them: all
// from left to right when "g" is set, moving one code unit on after an empty match) and the
// result of replace, in the format that the C++ side writes for its own component.
'use strict';
const fs = require('fs');

const decode = (s) => (s === '' ? '' : String.fromCharCode(...s.split(',').map((h) => parseInt(h, 16))));
const encode = (s) => {
  if (s === undefined) return '-';
  const units = [];
  for (let i = 0; i < s.length; i++) units.push(s.charCodeAt(i).toString(16));
  return '=' + units.join(',');
};

const out = [];
for (const line of fs.readFileSync(process.argv[2], 'utf8').split('\n')) {
  if (!line) continue;
  const [flags, p, s, r] = line.split('\t');
  const subject = decode(s);
  let re;
  try {
    re = new RegExp(decode(p), flags);
  } catch (e) {
    out.push('ERR');
    continue;
  }
  const found = [];
  for (;;) {
    const m = re.exec(subject);
    if (!m) break;
    found.push([m.index, ...Array.from(m, encode)].join(':'));
    if (!re.global) break;
    if (m[0].length === 0) re.lastIndex = m.index + 1;
  }
  re.lastIndex = 0;
  out.push(found.join(' ') + ' R' + encode(subject.replace(re, decode(r))));
}
process.stdout.write(out.join('\n') + '\n');
