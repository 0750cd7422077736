// Sends each configured command to the native host, one after another, and reports every reply
// (or the browser's error) to the test's loopback listener. The test writes config.js next to
// this file before the browser starts; Firefox lists it as a background script, Chromium's
// service worker imports it.
if (typeof ZENDRO_TEST === "undefined") {
  importScripts("config.js");
}

const api = typeof browser !== "undefined" ? browser : chrome;

async function report(body) {
  // A plain-text POST is a simple request: it reaches the listener without a preflight.
  await fetch(`http://127.0.0.1:${ZENDRO_TEST.port}/report`, {
    method: "POST",
    body: JSON.stringify(body),
  });
}

async function sendAll() {
  for (const [index, { host, message }] of ZENDRO_TEST.commands.entries()) {
    const started = Date.now();
    let outcome;
    try {
      outcome = { reply: await api.runtime.sendNativeMessage(host, message) };
    } catch (error) {
      outcome = { error: String(error && error.message !== undefined ? error.message : error) };
    }
    await report({ index, milliseconds: Date.now() - started, ...outcome });
  }
  await report({ done: true });
}

sendAll().catch((error) => report({ failure: String(error) }));
