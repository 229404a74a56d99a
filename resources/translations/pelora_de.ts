<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name></name>
    <message id="alertMustBeInApplicationsFolderTitle">
        <source>Pelora Can’t Run from This Location</source>
        <translation>Pelora kann nicht von diesem Ort gestartet werden</translation>
    </message>
    <message id="alertMustBeInApplicationsFolderMessage">
        <source>Pelora must be run from an Applications folder. Move Pelora.app to ~/Applications, /Applications or /opt, then open it from there.</source>
        <translation>Pelora muss aus einem Programme-Ordner gestartet werden. Verschieben Sie Pelora.app nach ~/Applications, /Applications oder /opt und öffnen Sie es von dort.</translation>
    </message>
    <message id="buttonQuit">
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message id="buttonOK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="strip.menuBar.apps">
        <source>Applications</source>
        <translation>Programme</translation>
    </message>
    <message id="strip.menuBar.folders">
        <source>Folders</source>
        <translation>Ordner</translation>
    </message>
    <message id="strip.menuBar.documents">
        <source>Documents</source>
        <translation>Dokumente</translation>
    </message>
    <message id="strip.menuBar.clipboard">
        <source>Clipboard</source>
        <translation>Zwischenablage</translation>
    </message>
    <message id="strip.menuBar.settings">
        <source>Settings…</source>
        <translation>Einstellungen …</translation>
    </message>
    <message id="strip.menuBar.quitPelora">
        <source>Quit Pelora</source>
        <translation>Pelora beenden</translation>
    </message>
    <message id="strip.menuBar.showStrip">
        <source>Show Strip</source>
        <translation>Leiste anzeigen</translation>
    </message>
    <message id="menu.about">
        <source>About Pelora</source>
        <translation>Über Pelora</translation>
    </message>
    <message id="menu.checkUpdates">
        <source>Check for Updates…</source>
        <translation>Nach Updates suchen …</translation>
    </message>
    <message id="menu.settings">
        <source>Settings…</source>
        <translation>Einstellungen …</translation>
    </message>
    <message id="menu.quit">
        <source>Quit Pelora</source>
        <translation>Pelora beenden</translation>
    </message>
    <message id="menu.help">
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message id="help.app">
        <source>Pelora Help</source>
        <translation>Pelora-Hilfe</translation>
    </message>
    <message id="help.support">
        <source>Contact Support</source>
        <translation>Support kontaktieren</translation>
    </message>
    <message id="help.license">
        <source>License Agreement</source>
        <translation>Lizenzvereinbarung</translation>
    </message>
    <message id="help.site">
        <source>Visit the Pelora Website</source>
        <translation>Pelora-Website besuchen</translation>
    </message>
    <message id="license.title">
        <source>License Agreement</source>
        <translation>Lizenzvereinbarung</translation>
    </message>
    <message id="license.unavailable">
        <source>The license agreement could not be loaded.</source>
        <translation>Die Lizenzvereinbarung konnte nicht geladen werden.</translation>
    </message>
    <message id="license.close">
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message id="strip.accessibility.moveStrip">
        <source>Move Strip</source>
        <translation>Leiste verschieben</translation>
    </message>
    <message id="strip.menu.recentDocuments">
        <source>Recent Documents</source>
        <translation>Zuletzt benutzte Dokumente</translation>
    </message>
    <message id="strip.menu.recentFolders">
        <source>Recent Folders</source>
        <translation>Zuletzt benutzte Ordner</translation>
    </message>
    <message id="strip.menu.recentApplications">
        <source>Recent Applications</source>
        <translation>Zuletzt benutzte Programme</translation>
    </message>
    <message id="strip.menu.recentClipboard">
        <source>Clipboard History</source>
        <translation>Verlauf der Zwischenablage</translation>
    </message>
    <message id="strip.menu.favoriteDocuments">
        <source>Favorite Documents</source>
        <translation>Favorisierte Dokumente</translation>
    </message>
    <message id="strip.menu.favoriteFolders">
        <source>Favorite Folders</source>
        <translation>Favorisierte Ordner</translation>
    </message>
    <message id="strip.menu.favoriteApplications">
        <source>Favorite Applications</source>
        <translation>Favorisierte Programme</translation>
    </message>
    <message id="strip.menu.openApps">
        <source>Open Applications</source>
        <translation>Geöffnete Programme</translation>
    </message>
    <message id="strip.menu.clearRecents">
        <source>Clear History</source>
        <translation>Verlauf löschen</translation>
    </message>
    <message id="strip.menu.editFavorites">
        <source>Edit Favorites…</source>
        <translation>Favoriten bearbeiten …</translation>
    </message>
    <message id="strip.menu.hideAll">
        <source>Hide All Applications</source>
        <translation>Alle Programme ausblenden</translation>
    </message>
    <message id="strip.emptyState.noRecentDocuments">
        <source>No Recent Documents</source>
        <translation>Keine zuletzt benutzten Dokumente</translation>
    </message>
    <message id="strip.emptyState.noRecentFolders">
        <source>No Recent Folders</source>
        <translation>Keine zuletzt benutzten Ordner</translation>
    </message>
    <message id="strip.emptyState.noRecentApplications">
        <source>No Recent Applications</source>
        <translation>Keine zuletzt benutzten Programme</translation>
    </message>
    <message id="strip.emptyState.noAppsRunning">
        <source>No Applications Running</source>
        <translation>Keine Programme geöffnet</translation>
    </message>
    <message id="strip.emptyState.noClipboardItems">
        <source>Nothing Copied Yet</source>
        <translation>Noch nichts kopiert</translation>
    </message>
    <message id="strip.app.unknownName">
        <source>Unknown Application</source>
        <translation>Unbekanntes Programm</translation>
    </message>
    <message id="strip.clipboard.otherSource">
        <source>Other Sources</source>
        <translation>Andere Quellen</translation>
    </message>
    <message id="strip.clipboard.imagePreview">
        <source>Image (%1 × %2)</source>
        <translation>Bild (%1 × %2)</translation>
    </message>
    <message id="strip.clipboard.filesPreview">
        <source>%1 Files</source>
        <translation>%1 Dateien</translation>
    </message>
    <message id="strip.clipboard.truncatedPreview">
        <source>%1 (first %2)</source>
        <translation>%1 (erste %2)</translation>
    </message>
    <message id="strip.clipboard.truncatedPreviewOf">
        <source>%1 (first %2 of %3)</source>
        <translation>%1 (erste %2 von %3)</translation>
    </message>
    <message id="strip.clipboard.megabytes">
        <source>%1 MB</source>
        <translation>%1 MB</translation>
    </message>
    <message id="buttonGrantAccess">
        <source>Grant Access</source>
        <translation>Zugriff erlauben</translation>
    </message>
    <message id="recentAccessPanelDocumentFolderMessage">
        <source>To open “%1”, choose the folder that contains it and click Grant Access.</source>
        <translation>Wählen Sie den Ordner, der „%1“ enthält, und klicken Sie auf „Zugriff erlauben“, um das Dokument zu öffnen.</translation>
    </message>
    <message id="recentAccessPanelMessage">
        <source>To open the folder “%1”, select it and click Grant Access.</source>
        <translation>Wählen Sie den Ordner „%1“ aus und klicken Sie auf „Zugriff erlauben“, um ihn zu öffnen.</translation>
    </message>
    <message id="recentAccessWrongSelectionTitle">
        <source>Wrong Folder Selected</source>
        <translation>Falscher Ordner ausgewählt</translation>
    </message>
    <message id="recentAccessWrongSelectionMessage">
        <source>The folder you chose doesn’t contain “%1”. Choose the item’s own folder or a folder that contains it.</source>
        <translation>Der ausgewählte Ordner enthält „%1“ nicht. Wählen Sie den Ordner des Objekts selbst oder einen Ordner, der es enthält.</translation>
    </message>
    <message id="strip.favoriteType.document">
        <source>Document</source>
        <translation>Dokument</translation>
    </message>
    <message id="strip.favoriteType.folder">
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message id="strip.favoriteType.application">
        <source>Application</source>
        <translation>Programm</translation>
    </message>
    <message id="strip.editor.title">
        <source>Edit Favorites</source>
        <translation>Favoriten bearbeiten</translation>
    </message>
    <message id="strip.editor.hint">
        <source>Drag documents, folders or applications here, or click + to add them. Double-click an item to open it.</source>
        <translation>Ziehen Sie Dokumente, Ordner oder Programme hierher oder klicken Sie auf +, um sie hinzuzufügen. Doppelklicken Sie auf einen Eintrag, um ihn zu öffnen.</translation>
    </message>
    <message id="strip.editor.columnName">
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message id="strip.editor.columnType">
        <source>Type</source>
        <translation>Art</translation>
    </message>
    <message id="strip.editor.addAccessibility">
        <source>Add Favorite</source>
        <translation>Favorit hinzufügen</translation>
    </message>
    <message id="strip.editor.addTooltip">
        <source>Add favorites…</source>
        <translation>Favoriten hinzufügen …</translation>
    </message>
    <message id="strip.editor.removeAccessibility">
        <source>Remove Favorite</source>
        <translation>Favorit entfernen</translation>
    </message>
    <message id="strip.editor.removeTooltip">
        <source>Remove the selected favorites</source>
        <translation>Ausgewählte Favoriten entfernen</translation>
    </message>
    <message id="strip.editor.doneButton">
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message id="settingsTabGeneralTitle">
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message id="settingsTabUpdatesTitle">
        <source>Updates</source>
        <translation>Updates</translation>
    </message>
    <message id="settings.launchAtLogin.section">
        <source>Startup</source>
        <translation>Start</translation>
    </message>
    <message id="settings.launchAtLogin.title">
        <source>Open at Login</source>
        <translation>Bei der Anmeldung öffnen</translation>
    </message>
    <message id="settings.launchAtLogin.subtitle">
        <source>Start Pelora automatically when you log in.</source>
        <translation>Pelora automatisch starten, wenn Sie sich anmelden.</translation>
    </message>
    <message id="settings.launchAtLogin.approval">
        <source>Waiting for your approval in the system settings.</source>
        <translation>Wartet auf Ihre Bestätigung in den Systemeinstellungen.</translation>
    </message>
    <message id="settings.launchAtLogin.failed">
        <source>The login item could not be changed. Please try again.</source>
        <translation>Das Anmeldeobjekt konnte nicht geändert werden. Bitte versuchen Sie es erneut.</translation>
    </message>
    <message id="settings.shortcuts.section">
        <source>Keyboard Shortcuts</source>
        <translation>Tastenkürzel</translation>
    </message>
    <message id="settings.shortcuts.clear">
        <source>Clear</source>
        <translation>Löschen</translation>
    </message>
    <message id="settings.shortcuts.heldElsewhere">
        <source>Another program uses this key. Choose another one.</source>
        <translation>Ein anderes Programm verwendet diese Taste. Wählen Sie eine andere.</translation>
    </message>
    <message id="settings.shortcuts.manual">
        <source>To use %1, bind it in your desktop’s keyboard settings to: %2</source>
        <translation>Um %1 zu verwenden, weisen Sie es in den Tastatureinstellungen Ihrer Arbeitsumgebung diesem Befehl zu: %2</translation>
    </message>
    <message id="settings.showStrip.section">
        <source>Strip</source>
        <translation>Leiste</translation>
    </message>
    <message id="settings.showStrip.subtitle">
        <source>Keep the floating strip at the edge of the screen.</source>
        <translation>Die schwebende Leiste am Bildschirmrand anzeigen.</translation>
    </message>
    <message id="updates.section.automatic">
        <source>Automatic Updates</source>
        <translation>Automatische Updates</translation>
    </message>
    <message id="updates.automatic.title">
        <source>Check for updates automatically</source>
        <translation>Automatisch nach Updates suchen</translation>
    </message>
    <message id="updates.automatic.subtitle">
        <source>Pelora looks for a new version each time it starts.</source>
        <translation>Pelora sucht bei jedem Start nach einer neuen Version.</translation>
    </message>
    <message id="updates.section.manual">
        <source>Manual Check</source>
        <translation>Manuelle Suche</translation>
    </message>
    <message id="updates.manual.title">
        <source>Check for updates now</source>
        <translation>Jetzt nach Updates suchen</translation>
    </message>
    <message id="updates.manual.button">
        <source>Check Now</source>
        <translation>Jetzt suchen</translation>
    </message>
    <message id="updates.lastChecked">
        <source>Last checked</source>
        <translation>Zuletzt gesucht</translation>
    </message>
    <message id="updates.alert.upToDate.title">
        <source>You’re Up to Date</source>
        <translation>Pelora ist auf dem neuesten Stand</translation>
    </message>
    <message id="updates.alert.upToDate.message">
        <source>%1 is the newest version available.</source>
        <translation>%1 ist die neueste verfügbare Version.</translation>
    </message>
    <message id="updates.alert.unavailable.title">
        <source>Couldn’t Check for Updates</source>
        <translation>Suche nach Updates fehlgeschlagen</translation>
    </message>
    <message id="updates.alert.unavailable.message">
        <source>The update information could not be loaded. You are using version %1; the Pelora website may have a newer one.</source>
        <translation>Die Update-Informationen konnten nicht geladen werden. Sie verwenden Version %1; auf der Pelora-Website gibt es möglicherweise eine neuere.</translation>
    </message>
    <message id="updates.alert.openPage">
        <source>Open Website</source>
        <translation>Website öffnen</translation>
    </message>
    <message id="updates.alert.ignore">
        <source>Ignore</source>
        <translation>Ignorieren</translation>
    </message>
    <message id="updates.window.defaultTitle">
        <source>A New Version of Pelora Is Available</source>
        <translation>Eine neue Version von Pelora ist verfügbar</translation>
    </message>
    <message id="updates.window.versionLine">
        <source>Pelora %1 is available — you have %2.</source>
        <translation>Pelora %1 ist verfügbar – Sie verwenden %2.</translation>
    </message>
    <message id="updates.window.disableChecking">
        <source>Turn Off Automatic Checks</source>
        <translation>Automatische Suche ausschalten</translation>
    </message>
    <message id="updates.window.disableChecking.tip">
        <source>Stop looking for updates when Pelora starts</source>
        <translation>Beim Start von Pelora nicht mehr nach Updates suchen</translation>
    </message>
    <message id="updates.window.enableChecking">
        <source>Turn On Automatic Checks</source>
        <translation>Automatische Suche einschalten</translation>
    </message>
    <message id="updates.window.enableChecking.tip">
        <source>Look for updates each time Pelora starts</source>
        <translation>Bei jedem Start von Pelora nach Updates suchen</translation>
    </message>
    <message id="updates.window.cancel">
        <source>Not Now</source>
        <translation>Später</translation>
    </message>
    <message id="about.title">
        <source>About Pelora</source>
        <translation>Über Pelora</translation>
    </message>
    <message id="about.version">
        <source>Version %1 (%2)</source>
        <translation>Version %1 (%2)</translation>
    </message>
    <message id="about.credits.unavailable">
        <source>The credits could not be loaded.</source>
        <translation>Die Danksagungen konnten nicht geladen werden.</translation>
    </message>
    <message id="about.link.website">
        <source>Website</source>
        <translation>Website</translation>
    </message>
    <message id="about.link.privacy">
        <source>Privacy Policy</source>
        <translation>Datenschutz</translation>
    </message>
    <message id="about.link.support">
        <source>Support</source>
        <translation>Support</translation>
    </message>
    <message id="gnome.extension.missing.title">
        <source>Pelora lists only some windows</source>
        <translation>Pelora zeigt nur einige Fenster</translation>
    </message>
    <message id="gnome.extension.missing.body">
        <source>GNOME Shell shows Pelora only the windows of X11 programs. To list every window, enable Pelora's GNOME Shell extension (run: gnome-extensions enable %1, or turn on “Pelora” in the Extensions app), then log out and back in.</source>
        <translation>GNOME Shell zeigt Pelora nur die Fenster von X11-Programmen. Um alle Fenster zu sehen, schalten Sie Peloras GNOME-Shell-Erweiterung ein (mit: gnome-extensions enable %1, oder „Pelora“ in der Anwendung Erweiterungen) und melden Sie sich ab und wieder an.</translation>
    </message>
</context>
</TS>
