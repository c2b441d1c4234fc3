// Runs T-SQL batches through tedious and prints one JSON object: the login's outcome and, per batch,
// its rows and the errors the server sent. Usage: node run.js <json of host, port, user, password,
// encrypt, batches>.
'use strict';
const { Connection, Request } = require('tedious');

const job = JSON.parse(process.argv[2]);
const out = { login: null, batches: [] };
const connection = new Connection({
  server: job.host,
  authentication: { type: 'default', options: { userName: job.user, password: job.password } },
  options: {
    port: job.port,
    encrypt: job.encrypt,
    trustServerCertificate: true,
    connectTimeout: 60000,
    requestTimeout: 60000,
  },
});

let current = null;
connection.on('errorMessage', (m) => {
  if (current) {
    current.errors.push({ number: m.number, state: m.state, message: m.message });
  }
});

function runBatch(i) {
  if (i === job.batches.length) {
    connection.close();
    return;
  }
  const result = { rows: [], errors: [] };
  current = result;
  const request = new Request(job.batches[i], (err) => {
    current = null;
    if (err && result.errors.length === 0) {
      result.errors.push({ number: err.number || 0, message: err.message });
    }
    out.batches.push(result);
    runBatch(i + 1);
  });
  request.on('row', (columns) => result.rows.push(columns.map((c) => c.value)));
  request.on('error', () => {});
  connection.execSql(request);
}

connection.on('connect', (err) => {
  out.login = err ? { ok: false, message: err.message } : { ok: true };
  if (err) {
    return;
  }
  runBatch(0);
});
connection.on('end', () => {
  process.stdout.write(JSON.stringify(out) + '\n');
});
connection.connect();
