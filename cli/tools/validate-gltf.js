#!/usr/bin/env node
// Validates glTF files with the Khronos glTF Validator (npm package gltf-validator), resolving
// external buffers and images beside each file.
//
//   node validate-gltf.js FILE.glb|FILE.gltf...
//
// Prints one JSON line per file: {"file", "errors", "warnings", "infos", "hints", "messages"},
// each message "SEVERITY CODE POINTER: text". Exits 1 when a file has errors or cannot be read.
'use strict';
const fs = require('fs');
const path = require('path');
const validator = require('gltf-validator');

const severities = ['error', 'warning', 'info', 'hint'];

async function validate(file) {
  const data = new Uint8Array(fs.readFileSync(file));
  const report = await validator.validateBytes(data, {
    uri: path.basename(file),
    maxIssues: 200,
    externalResourceFunction: (uri) =>
      new Promise((resolve, reject) => {
        const resource = path.resolve(path.dirname(file), decodeURIComponent(uri));
        fs.readFile(resource, (error, bytes) => (error ? reject(error.toString()) : resolve(new Uint8Array(bytes))));
      }),
  });
  const issues = report.issues;
  return {
    file,
    errors: issues.numErrors,
    warnings: issues.numWarnings,
    infos: issues.numInfos,
    hints: issues.numHints,
    messages: issues.messages.map(
      (m) => `${severities[m.severity] || m.severity} ${m.code} ${m.pointer || ''}: ${m.message}`),
  };
}

(async () => {
  const files = process.argv.slice(2);
  if (files.length === 0) {
    console.error('usage: validate-gltf.js FILE.glb|FILE.gltf...');
    process.exit(2);
  }
  let failed = false;
  for (const file of files) {
    try {
      const result = await validate(file);
      console.log(JSON.stringify(result));
      failed = failed || result.errors > 0;
    } catch (error) {
      console.log(JSON.stringify({file, errors: 1, warnings: 0, infos: 0, hints: 0, messages: [`error READ: ${error}`]}));
      failed = true;
    }
  }
  process.exit(failed ? 1 : 0);
})();
