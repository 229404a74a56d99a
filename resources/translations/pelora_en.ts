<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name></name>
    <message id="alertMustBeInApplicationsFolderTitle">
        <source>Pelora Can’t Run from This Location</source>
        <translation>Pelora Can’t Run from This Location</translation>
    </message>
    <message id="alertMustBeInApplicationsFolderMessage">
        <source>Pelora must be run from an Applications folder. Move Pelora.app to ~/Applications, /Applications or /opt, then open it from there.</source>
        <translation>Pelora must be run from an Applications folder. Move Pelora.app to ~/Applications, /Applications or /opt, then open it from there.</translation>
    </message>
    <message id="buttonQuit">
        <source>Quit</source>
        <translation>Quit</translation>
    </message>
    <message id="buttonOK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="strip.menuBar.apps">
        <source>Applications</source>
        <translation>Applications</translation>
    </message>
    <message id="strip.menuBar.folders">
        <source>Folders</source>
        <translation>Folders</translation>
    </message>
    <message id="strip.menuBar.documents">
        <source>Documents</source>
        <translation>Documents</translation>
    </message>
    <message id="strip.menuBar.clipboard">
        <source>Clipboard</source>
        <translation>Clipboard</translation>
    </message>
    <message id="strip.menuBar.settings">
        <source>Settings…</source>
        <translation>Settings…</translation>
    </message>
    <message id="strip.menuBar.quitPelora">
        <source>Quit Pelora</source>
        <translation>Quit Pelora</translation>
    </message>
    <message id="strip.menuBar.showStrip">
        <source>Show Strip</source>
        <translation>Show Strip</translation>
    </message>
    <message id="menu.about">
        <source>About Pelora</source>
        <translation>About Pelora</translation>
    </message>
    <message id="menu.checkUpdates">
        <source>Check for Updates…</source>
        <translation>Check for Updates…</translation>
    </message>
    <message id="menu.settings">
        <source>Settings…</source>
        <translation>Settings…</translation>
    </message>
    <message id="menu.quit">
        <source>Quit Pelora</source>
        <translation>Quit Pelora</translation>
    </message>
    <message id="menu.help">
        <source>Help</source>
        <translation>Help</translation>
    </message>
    <message id="help.app">
        <source>Pelora Help</source>
        <translation>Pelora Help</translation>
    </message>
    <message id="help.support">
        <source>Contact Support</source>
        <translation>Contact Support</translation>
    </message>
    <message id="help.license">
        <source>License Agreement</source>
        <translation>License Agreement</translation>
    </message>
    <message id="help.site">
        <source>Visit the Pelora Website</source>
        <translation>Visit the Pelora Website</translation>
    </message>
    <message id="license.title">
        <source>License Agreement</source>
        <translation>License Agreement</translation>
    </message>
    <message id="license.unavailable">
        <source>The license agreement could not be loaded.</source>
        <translation>The license agreement could not be loaded.</translation>
    </message>
    <message id="license.close">
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message id="strip.accessibility.moveStrip">
        <source>Move Strip</source>
        <translation>Move Strip</translation>
    </message>
    <message id="strip.menu.recentDocuments">
        <source>Recent Documents</source>
        <translation>Recent Documents</translation>
    </message>
    <message id="strip.menu.recentFolders">
        <source>Recent Folders</source>
        <translation>Recent Folders</translation>
    </message>
    <message id="strip.menu.recentApplications">
        <source>Recent Applications</source>
        <translation>Recent Applications</translation>
    </message>
    <message id="strip.menu.recentClipboard">
        <source>Clipboard History</source>
        <translation>Clipboard History</translation>
    </message>
    <message id="strip.menu.favoriteDocuments">
        <source>Favorite Documents</source>
        <translation>Favorite Documents</translation>
    </message>
    <message id="strip.menu.favoriteFolders">
        <source>Favorite Folders</source>
        <translation>Favorite Folders</translation>
    </message>
    <message id="strip.menu.favoriteApplications">
        <source>Favorite Applications</source>
        <translation>Favorite Applications</translation>
    </message>
    <message id="strip.menu.openApps">
        <source>Open Applications</source>
        <translation>Open Applications</translation>
    </message>
    <message id="strip.menu.clearRecents">
        <source>Clear History</source>
        <translation>Clear History</translation>
    </message>
    <message id="strip.menu.editFavorites">
        <source>Edit Favorites…</source>
        <translation>Edit Favorites…</translation>
    </message>
    <message id="strip.menu.hideAll">
        <source>Hide All Applications</source>
        <translation>Hide All Applications</translation>
    </message>
    <message id="strip.emptyState.noRecentDocuments">
        <source>No Recent Documents</source>
        <translation>No Recent Documents</translation>
    </message>
    <message id="strip.emptyState.noRecentFolders">
        <source>No Recent Folders</source>
        <translation>No Recent Folders</translation>
    </message>
    <message id="strip.emptyState.noRecentApplications">
        <source>No Recent Applications</source>
        <translation>No Recent Applications</translation>
    </message>
    <message id="strip.emptyState.noAppsRunning">
        <source>No Applications Running</source>
        <translation>No Applications Running</translation>
    </message>
    <message id="strip.emptyState.noClipboardItems">
        <source>Nothing Copied Yet</source>
        <translation>Nothing Copied Yet</translation>
    </message>
    <message id="strip.app.unknownName">
        <source>Unknown Application</source>
        <translation>Unknown Application</translation>
    </message>
    <message id="strip.clipboard.otherSource">
        <source>Other Sources</source>
        <translation>Other Sources</translation>
    </message>
    <message id="strip.clipboard.imagePreview">
        <source>Image (%1 × %2)</source>
        <translation>Image (%1 × %2)</translation>
    </message>
    <message id="strip.clipboard.filesPreview">
        <source>%1 Files</source>
        <translation>%1 Files</translation>
    </message>
    <message id="strip.clipboard.truncatedPreview">
        <source>%1 (first %2)</source>
        <translation>%1 (first %2)</translation>
    </message>
    <message id="strip.clipboard.truncatedPreviewOf">
        <source>%1 (first %2 of %3)</source>
        <translation>%1 (first %2 of %3)</translation>
    </message>
    <message id="strip.clipboard.megabytes">
        <source>%1 MB</source>
        <translation>%1 MB</translation>
    </message>
    <message id="buttonGrantAccess">
        <source>Grant Access</source>
        <translation>Grant Access</translation>
    </message>
    <message id="recentAccessPanelDocumentFolderMessage">
        <source>To open “%1”, choose the folder that contains it and click Grant Access.</source>
        <translation>To open “%1”, choose the folder that contains it and click Grant Access.</translation>
    </message>
    <message id="recentAccessPanelMessage">
        <source>To open the folder “%1”, select it and click Grant Access.</source>
        <translation>To open the folder “%1”, select it and click Grant Access.</translation>
    </message>
    <message id="recentAccessWrongSelectionTitle">
        <source>Wrong Folder Selected</source>
        <translation>Wrong Folder Selected</translation>
    </message>
    <message id="recentAccessWrongSelectionMessage">
        <source>The folder you chose doesn’t contain “%1”. Choose the item’s own folder or a folder that contains it.</source>
        <translation>The folder you chose doesn’t contain “%1”. Choose the item’s own folder or a folder that contains it.</translation>
    </message>
    <message id="strip.favoriteType.document">
        <source>Document</source>
        <translation>Document</translation>
    </message>
    <message id="strip.favoriteType.folder">
        <source>Folder</source>
        <translation>Folder</translation>
    </message>
    <message id="strip.favoriteType.application">
        <source>Application</source>
        <translation>Application</translation>
    </message>
    <message id="strip.editor.title">
        <source>Edit Favorites</source>
        <translation>Edit Favorites</translation>
    </message>
    <message id="strip.editor.hint">
        <source>Drag documents, folders or applications here, or click + to add them. Double-click an item to open it.</source>
        <translation>Drag documents, folders or applications here, or click + to add them. Double-click an item to open it.</translation>
    </message>
    <message id="strip.editor.columnName">
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message id="strip.editor.columnType">
        <source>Type</source>
        <translation>Type</translation>
    </message>
    <message id="strip.editor.addAccessibility">
        <source>Add Favorite</source>
        <translation>Add Favorite</translation>
    </message>
    <message id="strip.editor.addTooltip">
        <source>Add favorites…</source>
        <translation>Add favorites…</translation>
    </message>
    <message id="strip.editor.removeAccessibility">
        <source>Remove Favorite</source>
        <translation>Remove Favorite</translation>
    </message>
    <message id="strip.editor.removeTooltip">
        <source>Remove the selected favorites</source>
        <translation>Remove the selected favorites</translation>
    </message>
    <message id="strip.editor.doneButton">
        <source>Done</source>
        <translation>Done</translation>
    </message>
    <message id="settingsTabGeneralTitle">
        <source>General</source>
        <translation>General</translation>
    </message>
    <message id="settingsTabUpdatesTitle">
        <source>Updates</source>
        <translation>Updates</translation>
    </message>
    <message id="settings.launchAtLogin.section">
        <source>Startup</source>
        <translation>Startup</translation>
    </message>
    <message id="settings.launchAtLogin.title">
        <source>Open at Login</source>
        <translation>Open at Login</translation>
    </message>
    <message id="settings.launchAtLogin.subtitle">
        <source>Start Pelora automatically when you log in.</source>
        <translation>Start Pelora automatically when you log in.</translation>
    </message>
    <message id="settings.launchAtLogin.approval">
        <source>Waiting for your approval in the system settings.</source>
        <translation>Waiting for your approval in the system settings.</translation>
    </message>
    <message id="settings.launchAtLogin.failed">
        <source>The login item could not be changed. Please try again.</source>
        <translation>The login item could not be changed. Please try again.</translation>
    </message>
    <message id="settings.shortcuts.section">
        <source>Keyboard Shortcuts</source>
        <translation>Keyboard Shortcuts</translation>
    </message>
    <message id="settings.shortcuts.clear">
        <source>Clear</source>
        <translation>Clear</translation>
    </message>
    <message id="settings.shortcuts.heldElsewhere">
        <source>Another program uses this key. Choose another one.</source>
        <translation>Another program uses this key. Choose another one.</translation>
    </message>
    <message id="settings.shortcuts.manual">
        <source>To use %1, bind it in your desktop’s keyboard settings to: %2</source>
        <translation>To use %1, bind it in your desktop’s keyboard settings to: %2</translation>
    </message>
    <message id="settings.showStrip.section">
        <source>Strip</source>
        <translation>Strip</translation>
    </message>
    <message id="settings.showStrip.subtitle">
        <source>Keep the floating strip at the edge of the screen.</source>
        <translation>Keep the floating strip at the edge of the screen.</translation>
    </message>
    <message id="updates.section.automatic">
        <source>Automatic Updates</source>
        <translation>Automatic Updates</translation>
    </message>
    <message id="updates.automatic.title">
        <source>Check for updates automatically</source>
        <translation>Check for updates automatically</translation>
    </message>
    <message id="updates.automatic.subtitle">
        <source>Pelora looks for a new version each time it starts.</source>
        <translation>Pelora looks for a new version each time it starts.</translation>
    </message>
    <message id="updates.section.manual">
        <source>Manual Check</source>
        <translation>Manual Check</translation>
    </message>
    <message id="updates.manual.title">
        <source>Check for updates now</source>
        <translation>Check for updates now</translation>
    </message>
    <message id="updates.manual.button">
        <source>Check Now</source>
        <translation>Check Now</translation>
    </message>
    <message id="updates.lastChecked">
        <source>Last checked</source>
        <translation>Last checked</translation>
    </message>
    <message id="updates.alert.upToDate.title">
        <source>You’re Up to Date</source>
        <translation>You’re Up to Date</translation>
    </message>
    <message id="updates.alert.upToDate.message">
        <source>%1 is the newest version available.</source>
        <translation>%1 is the newest version available.</translation>
    </message>
    <message id="updates.alert.unavailable.title">
        <source>Couldn’t Check for Updates</source>
        <translation>Couldn’t Check for Updates</translation>
    </message>
    <message id="updates.alert.unavailable.message">
        <source>The update information could not be loaded. You are using version %1; the Pelora website may have a newer one.</source>
        <translation>The update information could not be loaded. You are using version %1; the Pelora website may have a newer one.</translation>
    </message>
    <message id="updates.alert.openPage">
        <source>Open Website</source>
        <translation>Open Website</translation>
    </message>
    <message id="updates.alert.ignore">
        <source>Ignore</source>
        <translation>Ignore</translation>
    </message>
    <message id="updates.window.defaultTitle">
        <source>A New Version of Pelora Is Available</source>
        <translation>A New Version of Pelora Is Available</translation>
    </message>
    <message id="updates.window.versionLine">
        <source>Pelora %1 is available — you have %2.</source>
        <translation>Pelora %1 is available — you have %2.</translation>
    </message>
    <message id="updates.window.disableChecking">
        <source>Turn Off Automatic Checks</source>
        <translation>Turn Off Automatic Checks</translation>
    </message>
    <message id="updates.window.disableChecking.tip">
        <source>Stop looking for updates when Pelora starts</source>
        <translation>Stop looking for updates when Pelora starts</translation>
    </message>
    <message id="updates.window.enableChecking">
        <source>Turn On Automatic Checks</source>
        <translation>Turn On Automatic Checks</translation>
    </message>
    <message id="updates.window.enableChecking.tip">
        <source>Look for updates each time Pelora starts</source>
        <translation>Look for updates each time Pelora starts</translation>
    </message>
    <message id="updates.window.cancel">
        <source>Not Now</source>
        <translation>Not Now</translation>
    </message>
    <message id="about.title">
        <source>About Pelora</source>
        <translation>About Pelora</translation>
    </message>
    <message id="about.version">
        <source>Version %1 (%2)</source>
        <translation>Version %1 (%2)</translation>
    </message>
    <message id="about.credits.unavailable">
        <source>The credits could not be loaded.</source>
        <translation>The credits could not be loaded.</translation>
    </message>
    <message id="about.link.website">
        <source>Website</source>
        <translation>Website</translation>
    </message>
    <message id="about.link.privacy">
        <source>Privacy Policy</source>
        <translation>Privacy Policy</translation>
    </message>
    <message id="about.link.support">
        <source>Support</source>
        <translation>Support</translation>
    </message>
    <message id="gnome.extension.missing.title">
        <source>Pelora lists only some windows</source>
        <translation>Pelora lists only some windows</translation>
    </message>
    <message id="gnome.extension.missing.body">
        <source>GNOME Shell shows Pelora only the windows of X11 programs. To list every window, enable Pelora's GNOME Shell extension (run: gnome-extensions enable %1, or turn on “Pelora” in the Extensions app), then log out and back in.</source>
        <translation>GNOME Shell shows Pelora only the windows of X11 programs. To list every window, enable Pelora's GNOME Shell extension (run: gnome-extensions enable %1, or turn on “Pelora” in the Extensions app), then log out and back in.</translation>
    </message>
</context>
</TS>
