// Typesets TeX equations as SVG for the manuals, with MathJax's TeX input and SVG output.
// Reads a JSON array [{"tex": "...", "display": true|false}, ...] on standard input and writes
// [{"svg": "<svg ...>", "width": EX, "height": EX, "depth": EX}, ...] (sizes in ex, depth below the
// baseline) on standard output. A TeX error ends the program with status 1 and names the equation.
'use strict';
const {mathjax} = require('mathjax-full/js/mathjax.js');
const {TeX} = require('mathjax-full/js/input/tex.js');
const {SVG} = require('mathjax-full/js/output/svg.js');
const {liteAdaptor} = require('mathjax-full/js/adaptors/liteAdaptor.js');
const {RegisterHTMLHandler} = require('mathjax-full/js/handlers/html.js');
const {AllPackages} = require('mathjax-full/js/input/tex/AllPackages.js');

const adaptor = liteAdaptor();
RegisterHTMLHandler(adaptor);
let current = -1;
const tex = new TeX({
  packages: AllPackages.filter((p) => p !== 'bussproofs'),
  formatError: (jax, err) => { throw err; },
});
// Every glyph as a path of its own: each SVG stands alone.
const svg = new SVG({fontCache: 'none'});
const html = mathjax.document('', {InputJax: tex, OutputJax: svg});

const ex = (text) => parseFloat(String(text || '0').replace('ex', '')) || 0;

let input = '';
process.stdin.setEncoding('utf8');
process.stdin.on('data', (chunk) => { input += chunk; });
process.stdin.on('end', () => {
  const equations = JSON.parse(input);
  const out = [];
  try {
    for (current = 0; current < equations.length; ++current) {
      const e = equations[current];
      const node = html.convert(e.tex, {display: !!e.display, em: 16, ex: 8, containerWidth: 1280});
      const root = adaptor.firstChild(node);
      const style = adaptor.getAttribute(root, 'style') || '';
      const align = /vertical-align:\s*(-?[\d.]+)ex/.exec(style);
      out.push({
        svg: adaptor.outerHTML(root),
        width: ex(adaptor.getAttribute(root, 'width')),
        height: ex(adaptor.getAttribute(root, 'height')),
        depth: align ? -parseFloat(align[1]) : 0,
      });
    }
  } catch (err) {
    const e = equations[current] || {};
    process.stderr.write(`equation ${current + 1} ("${e.tex}"): ${err.message}\n`);
    process.exit(1);
  }
  process.stdout.write(JSON.stringify(out));
});
