// Runs an ONNX model in onnxruntime-node: node run_model.js MODULE MODEL ROWS.json prints the
// session's input and output names, the first output's dimensions and values, and every output's
// by name as JSON (numbers in their shortest round-trip form, so doubles arrive whole; strings as
// strings).
const fs = require('fs');
const ort = require(process.argv[2]);
const [model, rowsFile] = process.argv.slice(3);

(async () => {
  const rows = JSON.parse(fs.readFileSync(rowsFile, 'utf8'));
  const session = await ort.InferenceSession.create(model);
  const type = session.inputMetadata[0].type;  // float64, or float32 for a float model
  const values = type === 'float32' ? Float32Array.from(rows.flat()) : Float64Array.from(rows.flat());
  const feeds = {[session.inputNames[0]]: new ort.Tensor(type, values, [rows.length, rows[0].length])};
  const results = await session.run(feeds);
  const output = results[session.outputNames[0]];
  process.stdout.write(JSON.stringify({
    inputNames: session.inputNames, outputNames: session.outputNames, type,
    dims: output.dims, data: Array.from(output.data),
    outputs: Object.fromEntries(session.outputNames.map(
        (name) => [name, {type: results[name].type, dims: results[name].dims,
                          data: Array.from(results[name].data)}])),
  }));
})().catch((error) => {
  process.stderr.write(String(error) + '\n');
  process.exit(1);
});
