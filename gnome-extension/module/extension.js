// Pelora's extension for GNOME Shell 45 and later, which load extensions as ES modules.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Meta from 'gi://Meta';
import Shell from 'gi://Shell';
import * as Main from 'resource:///org/gnome/shell/ui/main.js';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

import {PeloraWindows} from './windows.js';

export default class PeloraExtension extends Extension {
    enable() {
        this._windows = new PeloraWindows({Gio, GLib, Meta, Shell}, Main);
    }

    disable() {
        this._windows?.destroy();
        this._windows = null;
    }
}
