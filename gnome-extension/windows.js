// The shell's windows for Pelora, on the session bus: the list of normal windows, activating,
// minimising and showing one, and signals as windows open, change, close and take the focus;
// Pelora's keyboard shortcuts, bound with the shell's own key handling while Pelora runs; the
// keyboard lent to one of Pelora's X11 windows while its menu shows.
// Titles are private, so only the connection that owns Pelora's own name is answered, and the
// signals go to it alone. Shared by both entry files; the build fills in the names.

const PELORA_NAME = '@PELORA_BUNDLE_IDENTIFIER@';
const BUS_NAME = `${PELORA_NAME}.Windows`;
const OBJECT_PATH = `/${PELORA_NAME.replace(/\./g, '/')}/Windows`;
const INTERFACE = BUS_NAME;
const INTERFACE_XML = `<node>
  <interface name="${INTERFACE}">
    <method name="GetWindows"><arg type="aa{sv}" direction="out" name="windows"/></method>
    <method name="Activate"><arg type="t" direction="in" name="id"/></method>
    <method name="Minimize"><arg type="t" direction="in" name="id"/></method>
    <method name="Unminimize"><arg type="t" direction="in" name="id"/></method>
    <signal name="WindowOpened"><arg type="a{sv}" name="window"/></signal>
    <signal name="WindowChanged"><arg type="a{sv}" name="window"/></signal>
    <signal name="WindowClosed"><arg type="t" name="id"/></signal>
    <signal name="FocusChanged"><arg type="t" name="id"/></signal>
    <method name="SetShortcuts">
      <arg type="a{ss}" direction="in" name="shortcuts"/>
      <arg type="as" direction="out" name="refused"/>
    </method>
    <signal name="ShortcutPressed"><arg type="s" name="name"/></signal>
    <method name="TakeKeyboard"><arg type="t" direction="in" name="xid"/></method>
    <method name="ReturnKeyboard"/>
    <signal name="KeyboardLost"/>
  </interface>
</node>`;
// What a window's description depends on, apart from the application the tracker gives it.
const WINDOW_PROPERTIES = ['title', 'minimized', 'skip-taskbar', 'wm-class', 'window-type'];

var PeloraWindows = class PeloraWindows {
    // gi: the Gio, GLib, Meta and Shell namespaces; main: the shell's ui/main module.
    constructor(gi, main) {
        this._gi = gi;
        this._main = main;
        this._bus = gi.Gio.DBus.session;
        this._tracker = gi.Shell.WindowTracker.get_default();
        this._cancellable = new gi.Gio.Cancellable();
        this._pelora = null; // the unique name owning Pelora's name
        this._windows = new Map(); // MetaWindow -> {handlers, key}; key: what Pelora was told
        this._handlers = [];
        this._shortcuts = new Map(); // the shell's action id -> the shortcut's name
        this._lent = null; // {window, returnTo, held, retry}: the keyboard lent to Pelora's window

        const calls = {};
        for (const method of ['GetWindows', 'Activate', 'Minimize', 'Unminimize', 'SetShortcuts',
            'TakeKeyboard', 'ReturnKeyboard']) {
            calls[`${method}Async`] = (params, invocation) =>
                this._authorize(invocation, () => this[`_${method}`](invocation, ...params));
        }
        this._exported = gi.Gio.DBusExportedObject.wrapJSObject(INTERFACE_XML, calls);
        this._exported.export(this._bus, OBJECT_PATH);

        this._connect(global.display, 'window-created', (_display, window) => this._follow(window));
        this._connect(global.display, 'notify::focus-window', () => this._focusChanged());
        this._connect(this._tracker, 'tracked-windows-changed', () => this._updateAll());
        this._connect(global.display, 'accelerator-activated', (_display, action) => {
            if (this._shortcuts.has(action))
                this._emit('ShortcutPressed', '(s)', [this._shortcuts.get(action)]);
        });
        for (const actor of global.get_window_actors())
            this._follow(actor.meta_window);

        this._watchId = gi.Gio.bus_watch_name_on_connection(this._bus, PELORA_NAME,
            gi.Gio.BusNameWatcherFlags.NONE,
            (_bus, _name, owner) => {
                this._pelora = owner;
            },
            () => {
                this._pelora = null;
                this._releaseShortcuts(); // nobody to tell
            });
        // Owned last: Pelora sees the name only once everything behind it is in place.
        this._nameId = gi.Gio.bus_own_name_on_connection(this._bus, BUS_NAME,
            gi.Gio.BusNameOwnerFlags.REPLACE, null, null);
    }

    destroy() {
        this._cancellable.cancel();
        this._releaseShortcuts();
        this._gi.Gio.bus_unown_name(this._nameId);
        this._gi.Gio.bus_unwatch_name(this._watchId);
        this._exported.unexport();
        for (const [object, id] of this._handlers)
            object.disconnect(id);
        this._handlers = [];
        this._shortcuts = new Map();
        this._dropLent();
        for (const [window, followed] of this._windows) {
            for (const id of followed.handlers)
                window.disconnect(id);
        }
        this._windows.clear();
        this._pelora = null;
    }

    _connect(object, signal, handler) {
        this._handlers.push([object, object.connect(signal, handler)]);
    }

    // Serves the call when it comes from Pelora. The name watch may not have caught up with a
    // Pelora that has just taken its name, so an unknown caller is checked with the bus first.
    _authorize(invocation, serve) {
        const sender = invocation.get_sender();
        if (sender && sender === this._pelora) {
            serve();
            return;
        }
        const {Gio, GLib} = this._gi;
        this._bus.call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
            'GetNameOwner', new GLib.Variant('(s)', [PELORA_NAME]), new GLib.VariantType('(s)'),
            Gio.DBusCallFlags.NONE, -1, this._cancellable,
            (bus, result) => {
                let owner = null;
                try {
                    [owner] = bus.call_finish(result).deepUnpack();
                } catch (e) {
                    // Nobody owns the name, or the extension is going away.
                }
                if (owner && owner === sender && !this._cancellable.is_cancelled()) {
                    this._pelora = owner;
                    serve();
                } else {
                    invocation.return_dbus_error('org.freedesktop.DBus.Error.AccessDenied',
                        `Only the owner of ${PELORA_NAME} may use this interface`);
                }
            });
    }

    _GetWindows(invocation) {
        const list = [];
        for (const window of this._windows.keys()) {
            if (this._isListed(window))
                list.push(this._variants(this._describe(window)));
        }
        invocation.return_value(new this._gi.GLib.Variant('(aa{sv})', [list]));
    }

    _Activate(invocation, id) {
        this._withWindow(invocation, id, window =>
            this._main.activateWindow(window, global.get_current_time()));
    }

    _Minimize(invocation, id) {
        this._withWindow(invocation, id, window => window.minimize());
    }

    _Unminimize(invocation, id) {
        this._withWindow(invocation, id, window => window.unminimize());
    }

    _withWindow(invocation, id, act) {
        const window = [...this._windows.keys()].find(w => w.get_id() === id);
        if (!window || !this._isListed(window)) {
            invocation.return_dbus_error('org.freedesktop.DBus.Error.InvalidArgs',
                `No window ${id}`);
            return;
        }
        act(window);
        invocation.return_value(null);
    }

    // Binds each name's accelerator ("<Super><Shift>v"), replacing those bound before; answers
    // the names the shell refused: keys another binding holds, or that do not parse.
    _SetShortcuts(invocation, shortcuts) {
        const {Meta, Shell} = this._gi;
        this._releaseShortcuts();
        const refused = [];
        for (const [name, accelerator] of Object.entries(shortcuts)) {
            const action = global.display.grab_accelerator(accelerator, Meta.KeyBindingFlags.NONE);
            if (!action) {
                refused.push(name);
                continue;
            }
            // Also over the overview and the shell's own menus.
            this._main.wm.allowKeybinding(Meta.external_binding_name_for_action(action),
                Shell.ActionMode.ALL);
            this._shortcuts.set(action, name);
        }
        invocation.return_value(new this._gi.GLib.Variant('(as)', [refused]));
    }

    _releaseShortcuts() {
        const {Meta, Shell} = this._gi;
        for (const action of this._shortcuts.keys()) {
            this._main.wm.allowKeybinding(Meta.external_binding_name_for_action(action),
                Shell.ActionMode.NONE);
            global.display.ungrab_accelerator(action);
        }
        this._shortcuts.clear();
    }

    // The shell gives XWayland the keyboard only while one of its windows has the focus, and an
    // X11 menu's grab sees only what XWayland is given. So while a menu of Pelora's shows, the
    // focus goes to Pelora's X11 window xid (its strip); the window that had it is remembered.
    _TakeKeyboard(invocation, xid) {
        const {Meta} = this._gi;
        const name = `0x${xid.toString(16)}`;
        const window = [...this._windows.keys()].find(w =>
            w.get_client_type() === Meta.WindowClientType.X11 && !w.is_override_redirect() &&
            w.get_description().split(' ')[0] === name);
        if (!window) {
            invocation.return_dbus_error('org.freedesktop.DBus.Error.InvalidArgs',
                `No window ${name}`);
            return;
        }
        const focused = global.display.focus_window;
        // A menu replacing another: the window to go back to is still the first one.
        const returnTo = this._lent && focused === this._lent.window
            ? this._lent.returnTo : focused;
        this._dropLent();
        this._lent = {window, returnTo, held: focused === window, retry: 0};
        this._focusLent(this._lent, 10);
        invocation.return_value(null);
    }

    // The strip accepts the focus only while it is lent: until the shell has read its changed
    // hints, focusing it is tried again.
    _focusLent(lent, tries) {
        lent.window.focus(global.get_current_time());
        if (global.display.focus_window === lent.window || tries === 0)
            return;
        const {GLib} = this._gi;
        lent.retry = GLib.timeout_add(GLib.PRIORITY_DEFAULT, 50, () => {
            lent.retry = 0;
            if (this._lent === lent && !lent.held)
                this._focusLent(lent, tries - 1);
            return GLib.SOURCE_REMOVE;
        });
    }

    _dropLent() {
        if (this._lent?.retry)
            this._gi.GLib.source_remove(this._lent.retry);
        this._lent = null;
    }

    // The menu went: the focus goes back, unless it has moved on since.
    _ReturnKeyboard(invocation) {
        const lent = this._lent;
        this._dropLent();
        if (lent && global.display.focus_window === lent.window && lent.returnTo &&
            this._windows.has(lent.returnTo))
            lent.returnTo.focus(global.get_current_time());
        invocation.return_value(null);
    }

    // Another window took the focus from the one it was lent to (a click, a key of the shell's):
    // Pelora closes its menu, and the focus stays.
    _keyboardMoved() {
        const lent = this._lent;
        if (!lent)
            return;
        if (global.display.focus_window === lent.window) {
            lent.held = true;
        } else if (lent.held) {
            this._dropLent();
            this._emit('KeyboardLost', null, null);
        }
    }

    _isListed(window) {
        return window.get_window_type() === this._gi.Meta.WindowType.NORMAL &&
            !window.is_override_redirect();
    }

    // Plain values; the focus travels in its own signal, so it is left out of the comparison.
    _describe(window) {
        const app = this._tracker.get_window_app(window);
        return {
            id: window.get_id(),
            app: app && !app.is_window_backed() ? app.get_id() ?? '' : '',
            'wm-class': window.get_wm_class() ?? '',
            'wm-class-instance': window.get_wm_class_instance() ?? '',
            pid: Math.max(window.get_pid(), 0),
            title: window.get_title() ?? '',
            minimized: window.minimized,
            'skip-taskbar': window.is_skip_taskbar(),
        };
    }

    _variants(described, window = null) {
        const {GLib} = this._gi;
        const types = {id: 't', pid: 'u', minimized: 'b', 'skip-taskbar': 'b'};
        const dict = {};
        for (const [key, value] of Object.entries(described))
            dict[key] = new GLib.Variant(types[key] ?? 's', value);
        const focused = window ?? [...this._windows.keys()].find(w => w.get_id() === described.id);
        dict.focused = new GLib.Variant('b', !!focused && focused.has_focus());
        return dict;
    }

    _follow(window) {
        if (this._windows.has(window))
            return;
        const followed = {handlers: [], key: null};
        this._windows.set(window, followed);
        for (const property of WINDOW_PROPERTIES) {
            followed.handlers.push(
                window.connect(`notify::${property}`, () => this._update(window)));
        }
        followed.handlers.push(window.connect('unmanaged', () => this._forget(window)));
        this._update(window);
    }

    _forget(window) {
        const followed = this._windows.get(window);
        if (!followed)
            return;
        for (const id of followed.handlers)
            window.disconnect(id);
        this._windows.delete(window);
        if (followed.key !== null)
            this._emit('WindowClosed', '(t)', [window.get_id()]);
    }

    // Tells Pelora what changed about the window since it was last told, if anything.
    _update(window) {
        const followed = this._windows.get(window);
        if (!followed)
            return;
        if (!this._isListed(window)) {
            if (followed.key !== null) {
                followed.key = null;
                this._emit('WindowClosed', '(t)', [window.get_id()]);
            }
            return;
        }
        const described = this._describe(window);
        const key = JSON.stringify(described);
        if (key === followed.key)
            return;
        const signal = followed.key === null ? 'WindowOpened' : 'WindowChanged';
        followed.key = key;
        this._emit(signal, '(a{sv})', [this._variants(described, window)]);
    }

    _updateAll() {
        for (const window of [...this._windows.keys()])
            this._update(window);
    }

    // The listed window that has the focus, or whose dialog has it; 0 for none.
    _focusChanged() {
        this._keyboardMoved();
        let window = global.display.focus_window;
        while (window && !(this._windows.has(window) && this._isListed(window)))
            window = window.get_transient_for();
        this._emit('FocusChanged', '(t)', [window ? window.get_id() : 0]);
    }

    _emit(signal, signature, values) {
        if (!this._pelora)
            return;
        this._bus.emit_signal(this._pelora, OBJECT_PATH, INTERFACE, signal,
            signature ? new this._gi.GLib.Variant(signature, values) : null);
    }
};
