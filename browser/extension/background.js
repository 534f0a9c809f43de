// Tells Korvalen, through its native messaging host, which website the active tab of the
// focused browser window shows. Only the scheme and host name of a tab leave the browser, never
// its address: addresses carry search terms, session tokens and the like.
//
// The same file runs as Chromium's service worker and as Firefox's event page.

"use strict";

const api = globalThis.browser ?? globalThis.chrome;

const HOST_NAME = "io.github.korvalen.browser_host";
// A host that is missing or keeps failing is not restarted in a tight loop; one that ran a
// while before its port dropped (Korvalen updated, say) is restarted at once.
const RECONNECT_DELAYS_MS = [500, 2000, 5000, 15000, 30000];
const STEADY_CONNECTION_MS = 10000;

let port = null;
let connectedAt = 0;
let failedAttempts = 0;
let reconnectTimer = null;
let lastSent = null;
// Reports go out in the order of the events that caused them, although each one waits for
// its own query of the tabs.
let queue = Promise.resolve();

function enqueue(task) {
  queue = queue.then(task).catch(() => {});
}

function post(message) {
  if (!port) {
    return;
  }
  try {
    port.postMessage(message);
  } catch {
    // The port closed under us; onDisconnect reconnects.
  }
}

function siteOf(tab) {
  if (!tab?.url) {
    return {};
  }
  try {
    const url = new URL(tab.url);
    const site = { scheme: url.protocol.replace(/:$/, "") };
    if (url.hostname) {
      site.host = url.hostname;
    }
    return site;
  } catch {
    return {};
  }
}

async function focusedActiveTab() {
  const [tab] = await api.tabs.query({ active: true, lastFocusedWindow: true });
  return tab;
}

async function reportTab(reason, tab, windowId) {
  const message = { type: "tab", reason, windowId: tab?.windowId ?? windowId, ...siteOf(tab) };
  // A page changes its address often without leaving its site.
  const key = `${message.windowId} ${message.scheme} ${message.host}`;
  if (reason === "updated" && key === lastSent) {
    return;
  }
  lastSent = key;
  post(message);
}

// Only the focused window's active tab is reported; an event in another window changes nothing
// the user sees in front.
function reportIfFocused(reason, windowId) {
  enqueue(async () => {
    const tab = await focusedActiveTab();
    if (tab && tab.windowId === windowId) {
      await reportTab(reason, tab);
    }
  });
}

async function sendSnapshot() {
  const windows = await api.windows.getAll({ populate: true });
  post({
    type: "snapshot",
    windows: windows.map((window) => ({
      windowId: window.id,
      focused: window.focused,
      ...siteOf(window.tabs?.find((tab) => tab.active)),
    })),
  });
}

function scheduleReconnect() {
  if (reconnectTimer !== null) {
    return;
  }
  if (Date.now() - connectedAt >= STEADY_CONNECTION_MS) {
    failedAttempts = 0;
  }
  const delay = RECONNECT_DELAYS_MS[Math.min(failedAttempts, RECONNECT_DELAYS_MS.length - 1)];
  failedAttempts += 1;
  reconnectTimer = setTimeout(() => {
    reconnectTimer = null;
    connect();
  }, delay);
}

function connect() {
  if (port) {
    return;
  }
  try {
    port = api.runtime.connectNative(HOST_NAME);
  } catch {
    port = null;
    scheduleReconnect();
    return;
  }
  connectedAt = Date.now();
  port.onDisconnect.addListener(() => {
    // Read, so that Chromium does not log it as unchecked; the reason does not change what
    // happens next.
    void api.runtime.lastError;
    port = null;
    scheduleReconnect();
  });
  port.onMessage.addListener((message) => {
    if (message?.type === "query") {
      enqueue(sendSnapshot);
    }
  });
  enqueue(async () => reportTab("connected", await focusedActiveTab(), -1));
}

api.tabs.onActivated.addListener(({ windowId }) => reportIfFocused("activated", windowId));

api.tabs.onUpdated.addListener((tabId, changeInfo, tab) => {
  if (tab.active && "url" in changeInfo) {
    reportIfFocused("updated", tab.windowId);
  }
});

// A prerendered page that becomes the tab's page replaces the tab rather than updating it.
api.tabs.onReplaced.addListener((addedTabId) => {
  enqueue(async () => {
    const tab = await api.tabs.get(addedTabId);
    const focused = await focusedActiveTab();
    if (tab.active && focused?.id === tab.id) {
      await reportTab("updated", tab);
    }
  });
});

api.windows.onFocusChanged.addListener((windowId) => {
  enqueue(async () => {
    if (windowId === api.windows.WINDOW_ID_NONE) {
      await reportTab("focusChanged", undefined, -1);
      return;
    }
    const [tab] = await api.tabs.query({ active: true, windowId });
    await reportTab("focusChanged", tab, windowId);
  });
});

// Listening for the browser's start makes it start the background script with the browser; the
// script connects as it loads, whatever woke it.
api.runtime.onStartup.addListener(() => {});
connect();
