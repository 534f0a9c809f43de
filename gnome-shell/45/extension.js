// Korvalen's service in GNOME Shell 45 and later: which window has the keyboard focus, and the
// input sources, on the session bus. The same as the one for GNOME 43 and 44, written as GNOME
// Shell 45 wants its extensions (ES modules, an Extension subclass as the default export), after
// the guide "Port Extensions to GNOME Shell 45" on gjs.guide; keep the two alike.
//
// The Shell tells no other program which window is focused (org.gnome.Shell.Eval is refused,
// Introspect denies GetWindows to anyone but its own tools), and only the Shell knows its input
// sources' order and switches them, so Korvalen asks this extension. The contract is
// io.github.korvalen.Shell.xml in Korvalen's source tree; INTERFACE is its node element verbatim.
//
// Nothing here may throw into the Shell: a bad call gets a D-Bus error, a failed signal a log line.

import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Shell from 'gi://Shell';

import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';
import {getInputSourceManager} from 'resource:///org/gnome/shell/ui/status/keyboard.js';

const BUS_NAME = 'io.github.korvalen.Shell';
const OBJECT_PATH = '/io/github/korvalen/Shell';
const INTERFACE = `<node>
  <interface name="io.github.korvalen.Shell">
    <property name="InterfaceVersion" type="u" access="read"/>
    <method name="FocusedWindow">
      <arg name="appId" type="s" direction="out"/>
      <arg name="wmClass" type="s" direction="out"/>
      <arg name="wmClassInstance" type="s" direction="out"/>
      <arg name="pid" type="u" direction="out"/>
      <arg name="title" type="s" direction="out"/>
    </method>
    <method name="Windows">
      <arg name="windows" type="a(sssus)" direction="out"/>
    </method>
    <signal name="FocusChanged">
      <arg name="appId" type="s"/>
      <arg name="wmClass" type="s"/>
      <arg name="wmClassInstance" type="s"/>
      <arg name="pid" type="u"/>
      <arg name="title" type="s"/>
    </signal>
    <method name="InputSources">
      <arg name="sources" type="a(ss)" direction="out"/>
      <arg name="current" type="i" direction="out"/>
    </method>
    <method name="ActivateSource">
      <arg name="index" type="u" direction="in"/>
    </method>
    <signal name="SourceChanged"/>
  </interface>
</node>`;

// A method call refused with a D-Bus error of that name, not a fault of the extension.
class Refusal extends Error {
    constructor(name, message) {
        super(message);
        this.name = name;
    }
}

// (appId, wmClass, wmClassInstance, pid, title) of a window, all empty for none.
function describeWindow(window) {
    if (!window)
        return ['', '', '', 0, ''];
    let appId = Shell.WindowTracker.get_default().get_window_app(window)?.get_id() ?? '';
    // The Shell makes an app up ("window:12") for a window no desktop entry claims: its id
    // names nothing Korvalen could look up, nor the same program next time.
    if (appId.startsWith('window:'))
        appId = '';
    else if (appId.endsWith('.desktop'))
        appId = appId.slice(0, -'.desktop'.length);
    const pid = window.get_pid();
    return [appId, window.get_wm_class() ?? '', window.get_wm_class_instance() ?? '',
        pid > 0 ? pid : 0, window.get_title() ?? ''];
}

class Service {
    constructor() {
        this._uid = new Gio.Credentials().get_unix_user();
        this._cancellable = new Gio.Cancellable();
        this._inputSourceManager = getInputSourceManager();
        this._dbus = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
        this._dbus.export(Gio.DBus.session, OBJECT_PATH);

        // Mutter notifies focus-window again when the X11 focus moves within one window (from
        // its frame to the client): a window is told by its stable sequence, not kept alive.
        this._focusKey = global.display.focus_window?.get_stable_sequence() ?? null;
        this._focusId = global.display.connect('notify::focus-window', () => this._focusChanged());
        this._sourceIds = ['current-source-changed', 'sources-changed'].map(signal =>
            this._inputSourceManager.connect(signal,
                () => this._emit('SourceChanged', () => null)));

        // Owned last: a client that sees the name appear finds the object behind it.
        this._nameId = Gio.bus_own_name_on_connection(Gio.DBus.session, BUS_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null);
    }

    destroy() {
        Gio.bus_unown_name(this._nameId);
        this._cancellable.cancel();
        global.display.disconnect(this._focusId);
        this._sourceIds.forEach(id => this._inputSourceManager.disconnect(id));
        this._dbus.unexport();
    }

    get InterfaceVersion() {
        return 1;
    }

    FocusedWindowAsync(_parameters, invocation) {
        this._answer(invocation, () =>
            new GLib.Variant('(sssus)', describeWindow(global.display.focus_window)));
    }

    WindowsAsync(_parameters, invocation) {
        this._answer(invocation, () => {
            const windows = global.get_window_actors().map(actor => actor.meta_window)
                .filter(w => w && !w.is_override_redirect() && !w.is_skip_taskbar());
            return new GLib.Variant('(a(sssus))', [windows.map(describeWindow)]);
        });
    }

    InputSourcesAsync(_parameters, invocation) {
        this._answer(invocation, () => {
            const sources = this._inputSourceList();
            return new GLib.Variant('(a(ss)i)', [
                sources.map(source => [`${source.type}:${source.id}`, source.displayName ?? '']),
                sources.indexOf(this._inputSourceManager.currentSource),
            ]);
        });
    }

    ActivateSourceAsync([index], invocation) {
        this._answer(invocation, () => {
            const source = this._inputSourceList()[index];
            if (!source) {
                throw new Refusal('org.freedesktop.DBus.Error.InvalidArgs',
                    `There is no input source ${index}`);
            }
            source.activate(true);
            return null;
        });
    }

    // In the Shell's order: keyed by their index, which counts from 0 without gaps.
    _inputSourceList() {
        const sources = this._inputSourceManager.inputSources;
        return Object.keys(sources).sort((a, b) => a - b).map(key => sources[key]);
    }

    // Answers with what reply() gives, once the bus has said who is calling and it is the
    // Shell's own user or root. Window titles and the window list are private: sandboxed apps
    // are held off by their bus proxy, programs of other users (on a bus that admits them) here;
    // root can read all of it anyway. Asked asynchronously, as the Shell must never wait.
    _answer(invocation, reply) {
        Gio.DBus.session.call('org.freedesktop.DBus', '/org/freedesktop/DBus',
            'org.freedesktop.DBus', 'GetConnectionUnixUser',
            new GLib.Variant('(s)', [invocation.get_sender()]), new GLib.VariantType('(u)'),
            Gio.DBusCallFlags.NONE, -1, this._cancellable, (bus, result) => {
                try {
                    const [uid] = bus.call_finish(result).deepUnpack();
                    if (uid !== this._uid && uid !== 0) {
                        throw new Refusal('org.freedesktop.DBus.Error.AccessDenied',
                            'Only the session\'s own user may ask');
                    }
                    invocation.return_value(reply());
                } catch (e) {
                    if (e instanceof Refusal) {
                        invocation.return_dbus_error(e.name, e.message);
                        return;
                    }
                    // A caller gone or the extension disabled meanwhile is no fault of ours.
                    if (!(e instanceof GLib.Error))
                        logError(e, 'Korvalen could not answer');
                    invocation.return_dbus_error('org.freedesktop.DBus.Error.Failed', e.message);
                }
            });
    }

    _focusChanged() {
        const window = global.display.focus_window;
        const key = window?.get_stable_sequence() ?? null;
        if (key === this._focusKey)
            return;
        this._focusKey = key;
        this._emit('FocusChanged', () => new GLib.Variant('(sssus)', describeWindow(window)));
    }

    // Runs in the Shell's signal handlers: a failure is logged, not thrown at the Shell.
    _emit(name, makeParameters) {
        try {
            this._dbus.emit_signal(name, makeParameters());
        } catch (e) {
            logError(e, `Korvalen could not send ${name}`);
        }
    }
}

export default class KorvalenExtension extends Extension {
    enable() {
        try {
            this._service = new Service();
        } catch (e) {
            logError(e, 'Korvalen could not offer its service');
        }
    }

    disable() {
        this._service?.destroy();
        this._service = null;
    }
}
