<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>OverlayAccessible</name>
    <message>
        <source>Zone %1, %2</source>
        <translation>Zone %1, %2</translation>
    </message>
    <message>
        <source>Plinkora note zones</source>
        <translation>Plinkora-Notenzonen</translation>
    </message>
</context>
<context>
    <name>music</name>
    <message>
        <source>Vertical (low notes at bottom)</source>
        <translation>Senkrecht (tiefe Töne unten)</translation>
    </message>
    <message>
        <source>Horizontal (low notes at left)</source>
        <translation>Waagrecht (tiefe Töne links)</translation>
    </message>
    <message>
        <source>Major</source>
        <translation>Dur</translation>
    </message>
    <message>
        <source>Minor</source>
        <translation>Moll</translation>
    </message>
    <message>
        <source>Dorian</source>
        <translation>Dorisch</translation>
    </message>
    <message>
        <source>Mixolydian</source>
        <translation>Mixolydisch</translation>
    </message>
    <message>
        <source>Harmonic Minor</source>
        <translation>Harmonisch Moll</translation>
    </message>
    <message>
        <source>Major Pentatonic</source>
        <translation>Dur-Pentatonik</translation>
    </message>
    <message>
        <source>Minor Pentatonic</source>
        <translation>Moll-Pentatonik</translation>
    </message>
    <message>
        <source>Blues</source>
        <translation>Blues</translation>
    </message>
    <message>
        <source>Chromatic</source>
        <translation>Chromatisch</translation>
    </message>
    <message>
        <source>major</source>
        <translation>Dur</translation>
    </message>
    <message>
        <source>minor</source>
        <translation>Moll</translation>
    </message>
    <message>
        <source>dorian</source>
        <translation>dorisch</translation>
    </message>
    <message>
        <source>mixolydian</source>
        <translation>mixolydisch</translation>
    </message>
    <message>
        <source>harmonic minor</source>
        <translation>harmonisch Moll</translation>
    </message>
    <message>
        <source>major pentatonic</source>
        <translation>Dur-pentatonisch</translation>
    </message>
    <message>
        <source>minor pentatonic</source>
        <translation>Moll-pentatonisch</translation>
    </message>
    <message>
        <source>blues</source>
        <translation>Blues</translation>
    </message>
    <message>
        <source>chromatic</source>
        <translation>chromatisch</translation>
    </message>
    <message>
        <source>Fixed</source>
        <translation>Fest</translation>
    </message>
    <message>
        <source>Touch</source>
        <translation>Anschlag</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>%1 %2</source>
        <extracomment>A scale&apos;s key, then its mode: &quot;C major&quot;.</extracomment>
        <translation>%1-%2</translation>
    </message>
    <message>
        <source>Grand Piano</source>
        <translation>Flügel</translation>
    </message>
    <message>
        <source>Electric Piano</source>
        <translation>E-Piano</translation>
    </message>
    <message>
        <source>Harpsichord</source>
        <translation>Cembalo</translation>
    </message>
    <message>
        <source>Celesta</source>
        <translation>Celesta</translation>
    </message>
    <message>
        <source>Glockenspiel</source>
        <translation>Glockenspiel</translation>
    </message>
    <message>
        <source>Music Box</source>
        <translation>Spieluhr</translation>
    </message>
    <message>
        <source>Vibraphone</source>
        <translation>Vibraphon</translation>
    </message>
    <message>
        <source>Marimba</source>
        <translation>Marimba</translation>
    </message>
    <message>
        <source>Nylon Guitar</source>
        <translation>Konzertgitarre</translation>
    </message>
    <message>
        <source>Harp</source>
        <translation>Harfe</translation>
    </message>
    <message>
        <source>Strings</source>
        <translation>Streicher</translation>
    </message>
    <message>
        <source>Choir</source>
        <translation>Chor</translation>
    </message>
    <message>
        <source>Flute</source>
        <translation>Flöte</translation>
    </message>
    <message>
        <source>Pan Flute</source>
        <translation>Panflöte</translation>
    </message>
    <message>
        <source>Kalimba</source>
        <translation>Kalimba</translation>
    </message>
    <message>
        <source>Steel Drums</source>
        <translation>Steel Drums</translation>
    </message>
</context>
<context>
    <name>plinkora::AppState</name>
    <message>
        <source>None yet</source>
        <translation>Noch keine</translation>
    </message>
    <message>
        <source>zone %1</source>
        <translation>Zone %1</translation>
    </message>
    <message>
        <source>Touch</source>
        <translation>Berührung</translation>
    </message>
    <message>
        <source>Click</source>
        <translation>Klick</translation>
    </message>
    <message>
        <source>No touch yet</source>
        <translation>Noch keine Berührung</translation>
    </message>
    <message>
        <source>Nothing to save</source>
        <translation>Nichts zu speichern</translation>
    </message>
    <message>
        <source>Nothing was played in the last five minutes.</source>
        <translation>In den letzten fünf Minuten wurde nichts gespielt.</translation>
    </message>
    <message>
        <source>Could not save what you just played</source>
        <translation>Das eben Gespielte konnte nicht gespeichert werden</translation>
    </message>
    <message>
        <source>Saved what you just played</source>
        <translation>Das eben Gespielte ist gespeichert</translation>
    </message>
    <message>
        <source>%1 and %2 in %3</source>
        <translation>%1 und %2 in %3</translation>
    </message>
</context>
<context>
    <name>plinkora::AppUpdater</name>
    <message>
        <source>The update feed could not be reached.</source>
        <translation>Die Update-Quelle war nicht erreichbar.</translation>
    </message>
    <message>
        <source>The update feed could not be read.</source>
        <translation>Die Update-Quelle konnte nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The update feed could not be verified.</source>
        <translation>Die Update-Quelle konnte nicht überprüft werden.</translation>
    </message>
    <message>
        <source>The feed is larger than 1 MB.</source>
        <translation>Die Quelle ist größer als 1 MB.</translation>
    </message>
    <message>
        <source>You&apos;re up to date!</source>
        <translation>Plinkora ist auf dem neuesten Stand!</translation>
    </message>
    <message>
        <source>Plinkora %1 is currently the newest version available.</source>
        <translation>Plinkora %1 ist die neueste verfügbare Version.</translation>
    </message>
    <message>
        <source>Plinkora %1 is available</source>
        <translation>Plinkora %1 ist verfügbar</translation>
    </message>
    <message>
        <source>Click to see what&apos;s new and install it.</source>
        <translation>Klicken, um die Neuerungen zu sehen und zu installieren.</translation>
    </message>
</context>
<context>
    <name>plinkora::CommandLine</name>
    <message>
        <source>unknown option %1</source>
        <translation>unbekannte Option %1</translation>
    </message>
    <message>
        <source>Plinkora needs XWayland: this Wayland session has no X display (DISPLAY is not set).
</source>
        <translation>Plinkora braucht XWayland: Diese Wayland-Sitzung hat keine X-Anzeige (DISPLAY ist nicht gesetzt).
</translation>
    </message>
    <message>
        <source>Plinkora needs a graphical session: no X display (DISPLAY is not set).
</source>
        <translation>Plinkora braucht eine grafische Sitzung: keine X-Anzeige (DISPLAY ist nicht gesetzt).
</translation>
    </message>
    <message>
        <source>Plinkora cannot open the X display &quot;%1&quot;: no X server answers there.
</source>
        <translation>Plinkora kann die X-Anzeige „%1“ nicht öffnen: Dort antwortet kein X-Server.
</translation>
    </message>
    <message>
        <source>Plinkora is busy; the request will be handled when it is free.
</source>
        <translation>Plinkora ist beschäftigt; die Anfrage wird erledigt, sobald es frei ist.
</translation>
    </message>
    <message>
        <source>Plinkora is running but does not answer; the request was not delivered.
</source>
        <translation>Plinkora läuft, antwortet aber nicht; die Anfrage wurde nicht zugestellt.
</translation>
    </message>
    <message>
        <source>only one of --toggle, --on, --off, --settings and --save may be given</source>
        <translation>nur eine der Optionen --toggle, --on, --off, --settings und --save ist erlaubt</translation>
    </message>
    <message>
        <source>Usage: plinkora [--toggle | --on | --off | --settings | --save]
Play the screen like an instrument.

With Plinkora running, the options are handed to it:
  --toggle     switch the instrument on or off
  --on         switch the instrument on
  --off        switch the instrument off
  --settings   open the settings window
  --save       save the last five minutes of play in the music folder
  --at-login   as started by the session at login: with no tray, say where
               Plinkora is in a notification instead of opening its window
  --help       show this text
  --version    show the version
</source>
        <translation>Aufruf: plinkora [--toggle | --on | --off | --settings | --save]
Den Bildschirm wie ein Instrument spielen.

Läuft Plinkora schon, werden die Optionen an das laufende Programm weitergegeben:
  --toggle     das Instrument ein- oder ausschalten
  --on         das Instrument einschalten
  --off        das Instrument ausschalten
  --settings   das Einstellungsfenster öffnen
  --save       die letzten fünf Minuten Spiel im Musikordner speichern
  --at-login   wie von der Sitzung bei der Anmeldung gestartet: ohne Statusleiste
               in einer Benachrichtigung sagen, wo Plinkora ist, statt das
               Fenster zu öffnen
  --help       diesen Text anzeigen
  --version    die Version anzeigen
</translation>
    </message>
</context>
<context>
    <name>plinkora::GlobalHotKey</name>
    <message>
        <source>Switch Plinkora on or off</source>
        <translation>Plinkora ein- oder ausschalten</translation>
    </message>
</context>
<context>
    <name>plinkora::UpdateInstallation</name>
    <message>
        <source>The update could not be verified and was not installed.</source>
        <translation>Das Update konnte nicht überprüft werden und wurde nicht installiert.</translation>
    </message>
    <message>
        <source>The update could not be downloaded.</source>
        <translation>Das Update konnte nicht heruntergeladen werden.</translation>
    </message>
    <message>
        <source>The download is larger than the update feed says.</source>
        <translation>Der Download ist größer, als die Update-Quelle angibt.</translation>
    </message>
    <message>
        <source>Verifying the update…</source>
        <translation>Update wird überprüft…</translation>
    </message>
    <message>
        <source>The downloaded file is not the one that was published, so it was deleted.</source>
        <translation>Die heruntergeladene Datei ist nicht die veröffentlichte und wurde gelöscht.</translation>
    </message>
    <message>
        <source>Installing the update…</source>
        <translation>Update wird installiert…</translation>
    </message>
    <message>
        <source>The update could not be installed.</source>
        <translation>Das Update konnte nicht installiert werden.</translation>
    </message>
    <message>
        <source>Plinkora %1 has been installed.</source>
        <translation>Plinkora %1 wurde installiert.</translation>
    </message>
    <message>
        <source>Relaunch Plinkora to start using the new version.</source>
        <translation>Starten Sie Plinkora neu, um die neue Version zu verwenden.</translation>
    </message>
    <message>
        <source>The update could not be opened by your software installer.</source>
        <translation>Ihre Softwareinstallation konnte das Update nicht öffnen.</translation>
    </message>
    <message>
        <source>The verified package is at %1.</source>
        <translation>Das überprüfte Paket liegt unter %1.</translation>
    </message>
    <message>
        <source>Plinkora %1 is ready to install.</source>
        <translation>Plinkora %1 ist bereit zur Installation.</translation>
    </message>
</context>
<context>
    <name>plinkora::UpdateProgressWindow</name>
    <message>
        <source>Updating Plinkora</source>
        <translation>Plinkora wird aktualisiert</translation>
    </message>
    <message>
        <source>Downloading Plinkora %1…</source>
        <translation>Plinkora %1 wird heruntergeladen…</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
</context>
<context>
    <name>plinkora::UpdateWindow</name>
    <message>
        <source>Software Update</source>
        <translation>Softwareaktualisierung</translation>
    </message>
    <message>
        <source>A critical update of Plinkora is available!</source>
        <translation>Ein wichtiges Update für Plinkora ist verfügbar!</translation>
    </message>
    <message>
        <source>A new version of Plinkora is available!</source>
        <translation>Eine neue Version von Plinkora ist verfügbar!</translation>
    </message>
    <message>
        <source>Plinkora %1 is now available—you have %2. Would you like to install it now?</source>
        <translation>Plinkora %1 ist jetzt verfügbar – Sie haben %2. Möchten Sie es jetzt installieren?</translation>
    </message>
    <message>
        <source>Release Notes:</source>
        <translation>Versionshinweise:</translation>
    </message>
    <message>
        <source>Loading the release notes…</source>
        <translation>Versionshinweise werden geladen…</translation>
    </message>
    <message>
        <source>This release has no notes.</source>
        <translation>Zu dieser Version gibt es keine Hinweise.</translation>
    </message>
    <message>
        <source>Skip This Version</source>
        <translation>Diese Version überspringen</translation>
    </message>
    <message>
        <source>Remind Me Later</source>
        <translation>Später erinnern</translation>
    </message>
    <message>
        <source>Install Update</source>
        <translation>Update installieren</translation>
    </message>
    <message>
        <source>The release notes could not be loaded.</source>
        <translation>Die Versionshinweise konnten nicht geladen werden.</translation>
    </message>
</context>
<context>
    <name>plinkora::ui::KeySection</name>
    <message>
        <source>Key</source>
        <translation>Tonart</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Modus</translation>
    </message>
    <message>
        <source>Zones</source>
        <translation>Zonen</translation>
    </message>
    <message>
        <source>Notes</source>
        <translation>Töne</translation>
    </message>
    <message>
        <source>One octave (8 notes)</source>
        <translation>Eine Oktave (8 Töne)</translation>
    </message>
    <message>
        <source>%1 notes</source>
        <translation>%1 Töne</translation>
    </message>
    <message>
        <source>The screen is split evenly into the chosen number of zones, playing the %1 scale from the root upwards; one octave runs root to root, more zones keep climbing. Minor is the natural minor. Keys from G up start below middle C so every key sits in the same range.</source>
        <translation>Der Bildschirm wird gleichmäßig in die gewählte Anzahl Zonen geteilt, die die Tonleiter %1 vom Grundton aufwärts spielen; eine Oktave reicht von Grundton zu Grundton, weitere Zonen steigen weiter. Moll ist das natürliche Moll. Tonarten ab G beginnen unter dem eingestrichenen C, damit jede Tonart im selben Bereich liegt.</translation>
    </message>
</context>
<context>
    <name>plinkora::ui::LogoSection</name>
    <message>
        <source>Lid Logo</source>
        <translation>Deckel-Logo</translation>
    </message>
    <message>
        <source>Not installed</source>
        <translation>Nicht installiert</translation>
    </message>
    <message>
        <source>Installed and running</source>
        <translation>Installiert und aktiv</translation>
    </message>
    <message>
        <source>Installed, but this computer has no lid-logo light</source>
        <translation>Installiert, aber dieser Computer hat kein beleuchtetes Deckel-Logo</translation>
    </message>
    <message>
        <source>Waiting for the administrator password…</source>
        <translation>Warten auf das Administratorpasswort…</translation>
    </message>
    <message>
        <source>Installed, not running</source>
        <translation>Installiert, nicht aktiv</translation>
    </message>
    <message>
        <source>Pulse the logo on the lid</source>
        <translation>Logo auf dem Deckel pulsieren lassen</translation>
    </message>
    <message>
        <source>This computer lets Plinkora switch the lid logo&apos;s light itself: no helper is needed.</source>
        <translation>Auf diesem Computer kann Plinkora das Licht des Deckel-Logos selbst schalten: Es ist kein Helfer nötig.</translation>
    </message>
    <message>
        <source>Helper</source>
        <translation>Helfer</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Linux lets only the administrator switch the lid logo&apos;s light, so installing the helper asks for an administrator password. The helper is a tiny system service that switches the light on request. With pulsing on, the logo rests dark while Plinkora is on, lights the instant a note is struck and goes dark again as the note starts to fade, so a longer Note length keeps it lit longer. The light can only be switched on or off, so it switches rather than fades. It is left lit when Plinkora is turned off or quits.</source>
        <translation>Unter Linux darf nur der Administrator das Licht des Deckel-Logos schalten, daher fragt die Installation des Helfers nach einem Administratorpasswort. Der Helfer ist ein winziger Systemdienst, der das Licht auf Anfrage schaltet. Mit Pulsieren bleibt das Logo dunkel, solange Plinkora eingeschaltet ist, leuchtet im Moment des Anschlags auf und wird wieder dunkel, wenn der Ton auszuklingen beginnt; eine längere Tonlänge lässt es also länger leuchten. Das Licht kann nur ein- oder ausgeschaltet werden, es schaltet also, statt zu verblassen. Wenn Plinkora ausgeschaltet oder beendet wird, bleibt es an.</translation>
    </message>
    <message>
        <source>Pulsing the lid logo needs a small helper that the sandboxed version of Plinkora isn&apos;t allowed to install. The free download from plinkora.org includes it.</source>
        <translation>Das Pulsieren des Deckel-Logos braucht einen kleinen Helfer, den die abgeschottete Version von Plinkora nicht installieren darf. Der kostenlose Download von plinkora.org enthält ihn.</translation>
    </message>
    <message>
        <source>Get the plinkora.org version</source>
        <translation>Die Version von plinkora.org holen</translation>
    </message>
    <message>
        <source>On a laptop with a lit logo on its lid, the direct-download version can light the logo on each note.</source>
        <translation>Auf einem Laptop mit beleuchtetem Logo auf dem Deckel kann die direkt heruntergeladene Version das Logo bei jedem Ton aufleuchten lassen.</translation>
    </message>
    <message>
        <source>Uninstall Helper…</source>
        <translation>Helfer entfernen…</translation>
    </message>
    <message>
        <source>Install Helper…</source>
        <translation>Helfer installieren…</translation>
    </message>
</context>
<context>
    <name>plinkora::ui::MenuContent</name>
    <message>
        <source>Plinkora On</source>
        <translation>Plinkora an</translation>
    </message>
    <message>
        <source>Toggle anywhere with Ctrl+Alt+Super+M</source>
        <translation>Überall umschalten mit Strg+Alt+Super+M</translation>
    </message>
    <message>
        <source>Orientation</source>
        <translation>Ausrichtung</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Modus</translation>
    </message>
    <message>
        <source>Show Note Lines</source>
        <translation>Notenlinien zeigen</translation>
    </message>
    <message>
        <source>Pulse Lid Logo</source>
        <translation>Deckel-Logo pulsieren</translation>
    </message>
    <message>
        <source>Settings…</source>
        <translation>Einstellungen…</translation>
    </message>
    <message>
        <source>Check for Updates…</source>
        <translation>Nach Updates suchen…</translation>
    </message>
    <message>
        <source>Quit Plinkora</source>
        <translation>Plinkora beenden</translation>
    </message>
    <message>
        <source>Save What I Just Played</source>
        <translation>Eben Gespieltes speichern</translation>
    </message>
</context>
<context>
    <name>plinkora::ui::PlayingSection</name>
    <message>
        <source>Playing</source>
        <translation>Spielen</translation>
    </message>
    <message>
        <source>Plinkora On</source>
        <translation>Plinkora an</translation>
    </message>
    <message>
        <source>For every window, add this line to your sway or i3 configuration:</source>
        <translation>Damit es in jedem Fenster wirkt, diese Zeile in die Konfiguration von sway oder i3 aufnehmen:</translation>
    </message>
    <message>
        <source>Ctrl+Alt+Super+M</source>
        <translation>Strg+Alt+Super+M</translation>
    </message>
    <message>
        <source>Ctrl+Alt+Super+M, only while an X11 window is in front</source>
        <translation>Strg+Alt+Super+M, nur solange ein X11-Fenster vorne ist</translation>
    </message>
    <message>
        <source>Ctrl+Alt+Super+M is taken by another application</source>
        <translation>Strg+Alt+Super+M ist von einem anderen Programm belegt</translation>
    </message>
    <message>
        <source>Not bound.</source>
        <translation>Nicht zugewiesen.</translation>
    </message>
    <message>
        <source>Not bound: have your desktop run &quot;plinkora --toggle&quot; for a key</source>
        <translation>Nicht zugewiesen: Lassen Sie Ihre Arbeitsumgebung für eine Taste „plinkora --toggle“ ausführen</translation>
    </message>
    <message>
        <source>Keyboard shortcut</source>
        <translation>Tastenkürzel</translation>
    </message>
    <message>
        <source>Remove from GNOME Keyboard Shortcuts</source>
        <translation>Aus den GNOME-Tastenkürzeln entfernen</translation>
    </message>
    <message>
        <source>Add to GNOME Keyboard Shortcuts</source>
        <translation>Zu den GNOME-Tastenkürzeln hinzufügen</translation>
    </message>
    <message>
        <source>Orientation</source>
        <translation>Ausrichtung</translation>
    </message>
    <message>
        <source>Dynamics</source>
        <translation>Dynamik</translation>
    </message>
    <message>
        <source>Show note separator lines</source>
        <translation>Trennlinien zwischen den Tönen zeigen</translation>
    </message>
    <message>
        <source>Launch at login</source>
        <translation>Bei der Anmeldung starten</translation>
    </message>
    <message>
        <source>While on, the whole built-in screen is divided into note zones playing the chosen scale upwards from its root, low notes first. Several fingers play a chord, and sliding across a boundary plays the next note. Content under the overlay is not clickable until you turn Plinkora off.</source>
        <translation>Im eingeschalteten Zustand ist der ganze eingebaute Bildschirm in Notenzonen geteilt, die die gewählte Tonleiter vom Grundton aufwärts spielen, tiefe Töne zuerst. Mehrere Finger spielen einen Akkord, und das Gleiten über eine Grenze spielt den nächsten Ton. Was unter der Fläche liegt, ist erst wieder anklickbar, wenn Sie Plinkora ausschalten.</translation>
    </message>
    <message>
        <source>Note length</source>
        <translation>Tonlänge</translation>
    </message>
    <message>
        <source>Short</source>
        <translation>Kurz</translation>
    </message>
    <message>
        <source>Long</source>
        <translation>Lang</translation>
    </message>
    <message>
        <source>How long each note sustains and then fades away.</source>
        <translation>Wie lange jeder Ton klingt und dann ausklingt.</translation>
    </message>
    <message>
        <source>MIDI output</source>
        <translation>MIDI-Ausgang</translation>
    </message>
    <message>
        <source>Sends every note to a MIDI port named &quot;Plinkora&quot; (JACK or ALSA)</source>
        <translation>Sendet jede Note an einen MIDI-Anschluss namens „Plinkora“ (JACK oder ALSA)</translation>
    </message>
    <message>
        <source>Play built-in sound</source>
        <translation>Eingebauten Klang spielen</translation>
    </message>
    <message>
        <source>Sound</source>
        <translation>Klang</translation>
    </message>
    <message>
        <source>Sound bank</source>
        <translation>Klangbank</translation>
    </message>
    <message>
        <source>Choose…</source>
        <translation>Auswählen …</translation>
    </message>
    <message>
        <source>Use System Bank</source>
        <translation>Systembank verwenden</translation>
    </message>
    <message>
        <source>System General MIDI</source>
        <translation>General MIDI des Systems</translation>
    </message>
    <message>
        <source>Choose a Sound Bank</source>
        <translation>Klangbank auswählen</translation>
    </message>
    <message>
        <source>SoundFonts (*.sf2 *.sf3)</source>
        <translation>SoundFonts (*.sf2 *.sf3)</translation>
    </message>
</context>
<context>
    <name>plinkora::ui::SettingsWindow</name>
    <message>
        <source>Plinkora Settings</source>
        <translation>Plinkora-Einstellungen</translation>
    </message>
    <message>
        <source>Quit Plinkora</source>
        <translation>Plinkora beenden</translation>
    </message>
</context>
<context>
    <name>plinkora::ui::StatusSection</name>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Touchscreen</source>
        <translation>Touchscreen</translation>
    </message>
    <message>
        <source>Piano</source>
        <translation>Klavier</translation>
    </message>
    <message>
        <source>Audio engine</source>
        <translation>Klangerzeugung</translation>
    </message>
    <message>
        <source>Audio output</source>
        <translation>Audioausgabe</translation>
    </message>
    <message>
        <source>Last input</source>
        <translation>Letzte Eingabe</translation>
    </message>
    <message>
        <source>Last touch</source>
        <translation>Letzte Berührung</translation>
    </message>
    <message>
        <source>Notes play through the computer&apos;s current default output, and follow it when it changes. Last input shows whether the most recent note came from a finger on the screen or from a click, with the note it played.</source>
        <translation>Töne erklingen über die aktuelle Standardausgabe des Computers und folgen ihr, wenn sie wechselt. Letzte Eingabe zeigt, ob der jüngste Ton von einem Finger auf dem Bildschirm oder von einem Klick kam, und welchen Ton er spielte.</translation>
    </message>
    <message>
        <source>Detected</source>
        <translation>Erkannt</translation>
    </message>
    <message>
        <source>Not detected (clicks and drags still play)</source>
        <translation>Nicht erkannt (Klicken und Ziehen spielen trotzdem)</translation>
    </message>
    <message>
        <source>System grand piano loaded</source>
        <translation>Flügel des Systems geladen</translation>
    </message>
    <message>
        <source>Not loaded</source>
        <translation>Nicht geladen</translation>
    </message>
    <message>
        <source>Running</source>
        <translation>Läuft</translation>
    </message>
    <message>
        <source>Not running</source>
        <translation>Läuft nicht</translation>
    </message>
    <message>
        <source>Idle until Plinkora is on</source>
        <translation>Ruht, bis Plinkora an ist</translation>
    </message>
</context>
<context>
    <name>plinkora::ui::UpdatesSection</name>
    <message>
        <source>Updates</source>
        <translation>Updates</translation>
    </message>
    <message>
        <source>Check for updates automatically</source>
        <translation>Automatisch nach Updates suchen</translation>
    </message>
    <message>
        <source>Check for Updates…</source>
        <translation>Nach Updates suchen…</translation>
    </message>
    <message>
        <source>Updates come from plinkora.org and are verified before they install.</source>
        <translation>Updates kommen von plinkora.org und werden vor der Installation überprüft.</translation>
    </message>
    <message>
        <source>Updates are not available in this build.</source>
        <translation>In dieser Version gibt es keine Updates.</translation>
    </message>
    <message>
        <source>Your desktop&apos;s software manager keeps this version of Plinkora up to date.</source>
        <translation>Die Softwareverwaltung Ihrer Arbeitsumgebung hält diese Version von Plinkora aktuell.</translation>
    </message>
</context>
<context>
    <name>plinkora::ui::UserInterface</name>
    <message>
        <source>Plinkora is running</source>
        <translation>Plinkora läuft</translation>
    </message>
    <message>
        <source>This desktop shows no tray icon. Run &quot;plinkora --settings&quot; to open the settings, or press Ctrl+Alt+Super+M to switch Plinkora on and off.</source>
        <translation>Diese Arbeitsumgebung zeigt kein Statussymbol. Führen Sie „plinkora --settings“ aus, um die Einstellungen zu öffnen, oder drücken Sie Strg+Alt+Super+M, um Plinkora ein- und auszuschalten.</translation>
    </message>
    <message>
        <source>Plinkora is on</source>
        <translation>Plinkora ist an</translation>
    </message>
    <message>
        <source>Plinkora is off</source>
        <translation>Plinkora ist aus</translation>
    </message>
</context>
</TS>
