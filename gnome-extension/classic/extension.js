// Pelora's extension for GNOME Shell 43 and 44, which load extensions in the classic form.
/* exported init */
const {Gio, GLib, Meta, Shell} = imports.gi;
const Main = imports.ui.main;
const Me = imports.misc.extensionUtils.getCurrentExtension();

class PeloraExtension {
    enable() {
        this._windows = new Me.imports.windows.PeloraWindows({Gio, GLib, Meta, Shell}, Main);
    }

    disable() {
        this._windows?.destroy();
        this._windows = null;
    }
}

function init() {
    return new PeloraExtension();
}
