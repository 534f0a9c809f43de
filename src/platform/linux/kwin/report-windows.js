// Loaded into KWin by Korvalen: tells the Korvalen that loaded it which window is active and which
// windows exist, over the session bus. KWin 6 names windows what KWin 5 named clients.
const reports = ["@SERVICE@", "/KwinReports", "io.github.korvalen.KwinReports"];
const kwin6 = workspace.windowList !== undefined;

function reportActivation(window) {
    // A switch passes through no window at all; Korvalen waits a moment before believing it.
    callDBus(reports[0], reports[1], reports[2], "activated",
             window ? String(window.desktopFileName || "") : "",
             window ? String(window.resourceName || "") : "",
             window ? String(window.resourceClass || "") : "", window ? window.pid || 0 : 0);
}

function reportWindows(removed) {
    const windows = kwin6 ? workspace.windowList() : workspace.clientList();
    const described = [];
    for (const window of windows) {
        if (window === removed || !window.normalWindow)
            continue;
        described.push([String(window.desktopFileName || ""), String(window.resourceName || ""),
                        String(window.resourceClass || ""), window.pid || 0]);
    }
    callDBus(reports[0], reports[1], reports[2], "windows", JSON.stringify(described));
}

(kwin6 ? workspace.windowActivated : workspace.clientActivated).connect(reportActivation);
(kwin6 ? workspace.windowAdded : workspace.clientAdded).connect(() => reportWindows(null));
(kwin6 ? workspace.windowRemoved : workspace.clientRemoved).connect(reportWindows);
reportWindows(null);
reportActivation(kwin6 ? workspace.activeWindow : workspace.activeClient);
