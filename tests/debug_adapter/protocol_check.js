// Checks messages from a debug adapter against the protocol's published
// definitions (debugProtocol.d.ts of @vscode/debugprotocol): every response
// and event has the fields its interface requires, of the kind it names
// (number, string, boolean, array, object; the interfaces it refers to
// checked in turn), and the adapter's seq counts up by one.
//   const check = require('./protocol_check')(MODULES); check(message); check.errors
'use strict';
const fs = require('fs');
const path = require('path');

// name -> { base, fields: { name: { optional, type } } } for every interface.
function parseDefinitions(text) {
  text = text.replace(/\/\*[\s\S]*?\*\//g, '').replace(/\/\/[^\n]*/g, '');
  const interfaces = {};
  const head = /interface\s+(\w+)(?:\s+extends\s+(\w+))?\s*\{/g;
  for (let m; (m = head.exec(text));) {
    const [start, end] = block(text, head.lastIndex - 1);
    interfaces[m[1]] = { base: m[2], fields: parseFields(text.slice(start, end)) };
  }
  return interfaces;
}

// The text between the brace at `open` and its match.
function block(text, open) {
  let depth = 0;
  for (let i = open; i < text.length; i++) {
    if (text[i] === '{') depth++;
    if (text[i] === '}' && --depth === 0) return [open + 1, i];
  }
  return [open + 1, text.length];
}

function parseFields(body) {
  const fields = {};
  const field = /(\w+)(\??)\s*:\s*/g;
  let depth = 0;
  for (let i = 0; i < body.length;) {
    if (depth === 0) {
      field.lastIndex = i;
      const m = field.exec(body);
      if (!m || body.slice(i, m.index).trim() !== '') break;
      let j = field.lastIndex;
      let d = 0;
      while (j < body.length && !(d === 0 && body[j] === ';')) {
        if (body[j] === '{') d++;
        if (body[j] === '}') d--;
        j++;
      }
      fields[m[1]] = { optional: m[2] === '?', type: body.slice(field.lastIndex, j).trim() };
      i = j + 1;
    }
  }
  return fields;
}

function allFields(interfaces, name) {
  const found = interfaces[name];
  if (!found) return null;
  return Object.assign({}, found.base ? allFields(interfaces, found.base) : {}, found.fields);
}

module.exports = function protocolCheck(modules) {
  const file = path.resolve(modules, '@vscode/debugprotocol/lib/debugProtocol.d.ts');
  const interfaces = parseDefinitions(fs.readFileSync(file, 'utf8'));
  const errors = [];
  let lastSeq = 0;

  function checkValue(value, type, where) {
    type = type.trim();
    if (type.startsWith('{')) return checkObject(value, parseFields(type.slice(1, -1)), where);
    if (type.endsWith('[]')) {
      if (!Array.isArray(value)) return errors.push(`${where}: not an array`);
      return value.forEach((v, i) => checkValue(v, type.slice(0, -2), `${where}[${i}]`));
    }
    const kinds = type.split('|').map((t) => t.trim());
    const kindOf = (t) => (/^'.*'$/.test(t) ? 'string' : t);
    for (const kind of kinds.map(kindOf)) {
      if (kind === 'any' || kind === 'unknown') return;
      if (['number', 'string', 'boolean'].includes(kind) && typeof value === kind) return;
      if (kind === 'null' && value === null) return;
      if (interfaces[kind] && typeof value === 'object' && value !== null && !Array.isArray(value))
        return checkObject(value, allFields(interfaces, kind), where);
      if (kind === 'object' && typeof value === 'object') return;
    }
    // A type alias this reader does not follow counts as matched.
    if (kinds.map(kindOf).some((k) => !['number', 'string', 'boolean', 'null', 'object'].includes(k) && !interfaces[k])) return;
    errors.push(`${where}: ${JSON.stringify(value)} is not ${type}`);
  }

  function checkObject(value, fields, where) {
    if (typeof value !== 'object' || value === null) return errors.push(`${where}: not an object`);
    for (const [name, f] of Object.entries(fields)) {
      if (!(name in value)) {
        if (!f.optional) errors.push(`${where}: ${name} is missing`);
        continue;
      }
      checkValue(value[name], f.type, `${where}.${name}`);
    }
  }

  function check(message) {
    check.count++;
    if (message.seq !== lastSeq + 1) errors.push(`seq ${message.seq} follows ${lastSeq}`);
    lastSeq = message.seq;
    const name = message.type === 'response' ? message.command : message.event;
    const kind = message.type === 'response' ? 'Response' : 'Event';
    const definition = name && allFields(interfaces, name[0].toUpperCase() + name.slice(1) + kind);
    const where = `${message.type} ${name} (seq ${message.seq})`;
    if (message.type === 'response' && !message.success) {
      return checkObject(message, allFields(interfaces, 'ErrorResponse'), where);
    }
    if (!definition) return errors.push(`${where}: no such ${kind.toLowerCase()} in the protocol`);
    checkObject(message, definition, where);
  }
  check.errors = errors;
  check.count = 0;
  return check;
};
