<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>OverlayAccessible</name>
    <message>
        <source>Zone %1, %2</source>
        <translation>Zone %1, %2</translation>
    </message>
    <message>
        <source>Plinkora note zones</source>
        <translation>Zones de notes de Plinkora</translation>
    </message>
</context>
<context>
    <name>music</name>
    <message>
        <source>Vertical (low notes at bottom)</source>
        <translation>Verticale (notes graves en bas)</translation>
    </message>
    <message>
        <source>Horizontal (low notes at left)</source>
        <translation>Horizontale (notes graves à gauche)</translation>
    </message>
    <message>
        <source>Major</source>
        <translation>Majeur</translation>
    </message>
    <message>
        <source>Minor</source>
        <translation>Mineur</translation>
    </message>
    <message>
        <source>Dorian</source>
        <translation>Dorien</translation>
    </message>
    <message>
        <source>Mixolydian</source>
        <translation>Mixolydien</translation>
    </message>
    <message>
        <source>Harmonic Minor</source>
        <translation>Mineur harmonique</translation>
    </message>
    <message>
        <source>Major Pentatonic</source>
        <translation>Pentatonique majeure</translation>
    </message>
    <message>
        <source>Minor Pentatonic</source>
        <translation>Pentatonique mineure</translation>
    </message>
    <message>
        <source>Blues</source>
        <translation>Blues</translation>
    </message>
    <message>
        <source>Chromatic</source>
        <translation>Chromatique</translation>
    </message>
    <message>
        <source>major</source>
        <translation>majeur</translation>
    </message>
    <message>
        <source>minor</source>
        <translation>mineur</translation>
    </message>
    <message>
        <source>dorian</source>
        <translation>dorien</translation>
    </message>
    <message>
        <source>mixolydian</source>
        <translation>mixolydien</translation>
    </message>
    <message>
        <source>harmonic minor</source>
        <translation>mineur harmonique</translation>
    </message>
    <message>
        <source>major pentatonic</source>
        <translation>pentatonique majeur</translation>
    </message>
    <message>
        <source>minor pentatonic</source>
        <translation>pentatonique mineur</translation>
    </message>
    <message>
        <source>blues</source>
        <translation>blues</translation>
    </message>
    <message>
        <source>chromatic</source>
        <translation>chromatique</translation>
    </message>
    <message>
        <source>Fixed</source>
        <translation>Fixe</translation>
    </message>
    <message>
        <source>Touch</source>
        <translation>Toucher</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>%1 %2</source>
        <extracomment>A scale&apos;s key, then its mode: &quot;C major&quot;.</extracomment>
        <translation>%1 %2</translation>
    </message>
    <message>
        <source>Grand Piano</source>
        <translation>Piano à queue</translation>
    </message>
    <message>
        <source>Electric Piano</source>
        <translation>Piano électrique</translation>
    </message>
    <message>
        <source>Harpsichord</source>
        <translation>Clavecin</translation>
    </message>
    <message>
        <source>Celesta</source>
        <translation>Célesta</translation>
    </message>
    <message>
        <source>Glockenspiel</source>
        <translation>Glockenspiel</translation>
    </message>
    <message>
        <source>Music Box</source>
        <translation>Boîte à musique</translation>
    </message>
    <message>
        <source>Vibraphone</source>
        <translation>Vibraphone</translation>
    </message>
    <message>
        <source>Marimba</source>
        <translation>Marimba</translation>
    </message>
    <message>
        <source>Nylon Guitar</source>
        <translation>Guitare classique</translation>
    </message>
    <message>
        <source>Harp</source>
        <translation>Harpe</translation>
    </message>
    <message>
        <source>Strings</source>
        <translation>Cordes</translation>
    </message>
    <message>
        <source>Choir</source>
        <translation>Chœur</translation>
    </message>
    <message>
        <source>Flute</source>
        <translation>Flûte</translation>
    </message>
    <message>
        <source>Pan Flute</source>
        <translation>Flûte de Pan</translation>
    </message>
    <message>
        <source>Kalimba</source>
        <translation>Kalimba</translation>
    </message>
    <message>
        <source>Steel Drums</source>
        <translation>Steel drums</translation>
    </message>
</context>
<context>
    <name>plinkora::AppState</name>
    <message>
        <source>None yet</source>
        <translation>Aucune pour l’instant</translation>
    </message>
    <message>
        <source>zone %1</source>
        <translation>zone %1</translation>
    </message>
    <message>
        <source>Touch</source>
        <translation>Toucher</translation>
    </message>
    <message>
        <source>Click</source>
        <translation>Clic</translation>
    </message>
    <message>
        <source>No touch yet</source>
        <translation>Aucun toucher pour l’instant</translation>
    </message>
    <message>
        <source>Nothing to save</source>
        <translation>Rien à enregistrer</translation>
    </message>
    <message>
        <source>Nothing was played in the last five minutes.</source>
        <translation>Rien n’a été joué ces cinq dernières minutes.</translation>
    </message>
    <message>
        <source>Could not save what you just played</source>
        <translation>Impossible d’enregistrer ce que vous venez de jouer</translation>
    </message>
    <message>
        <source>Saved what you just played</source>
        <translation>Ce que vous venez de jouer est enregistré</translation>
    </message>
    <message>
        <source>%1 and %2 in %3</source>
        <translation>%1 et %2 dans %3</translation>
    </message>
</context>
<context>
    <name>plinkora::AppUpdater</name>
    <message>
        <source>The update feed could not be reached.</source>
        <translation>La source des mises à jour est injoignable.</translation>
    </message>
    <message>
        <source>The update feed could not be read.</source>
        <translation>La source des mises à jour est illisible.</translation>
    </message>
    <message>
        <source>The update feed could not be verified.</source>
        <translation>La source des mises à jour n’a pas pu être vérifiée.</translation>
    </message>
    <message>
        <source>The feed is larger than 1 MB.</source>
        <translation>La source dépasse 1 Mo.</translation>
    </message>
    <message>
        <source>You&apos;re up to date!</source>
        <translation>Plinkora est à jour !</translation>
    </message>
    <message>
        <source>Plinkora %1 is currently the newest version available.</source>
        <translation>Plinkora %1 est la version la plus récente.</translation>
    </message>
    <message>
        <source>Plinkora %1 is available</source>
        <translation>Plinkora %1 est disponible</translation>
    </message>
    <message>
        <source>Click to see what&apos;s new and install it.</source>
        <translation>Cliquez pour voir les nouveautés et l’installer.</translation>
    </message>
</context>
<context>
    <name>plinkora::CommandLine</name>
    <message>
        <source>unknown option %1</source>
        <translation>option inconnue %1</translation>
    </message>
    <message>
        <source>Plinkora needs XWayland: this Wayland session has no X display (DISPLAY is not set).
</source>
        <translation>Plinkora a besoin de XWayland : cette session Wayland n’a pas d’affichage X (DISPLAY n’est pas défini).
</translation>
    </message>
    <message>
        <source>Plinkora needs a graphical session: no X display (DISPLAY is not set).
</source>
        <translation>Plinkora a besoin d’une session graphique : pas d’affichage X (DISPLAY n’est pas défini).
</translation>
    </message>
    <message>
        <source>Plinkora cannot open the X display &quot;%1&quot;: no X server answers there.
</source>
        <translation>Plinkora ne peut pas ouvrir l’affichage X «&#xa0;%1&#xa0;» : aucun serveur X n’y répond.
</translation>
    </message>
    <message>
        <source>Plinkora is busy; the request will be handled when it is free.
</source>
        <translation>Plinkora est occupé ; la demande sera traitée dès qu’il sera libre.
</translation>
    </message>
    <message>
        <source>Plinkora is running but does not answer; the request was not delivered.
</source>
        <translation>Plinkora est lancé mais ne répond pas ; la demande n’a pas été transmise.
</translation>
    </message>
    <message>
        <source>only one of --toggle, --on, --off, --settings and --save may be given</source>
        <translation>une seule des options --toggle, --on, --off, --settings et --save est permise</translation>
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
        <translation>Utilisation : plinkora [--toggle | --on | --off | --settings | --save]
Jouer de l’écran comme d’un instrument.

Si Plinkora est déjà lancé, les options lui sont transmises :
  --toggle     allumer ou éteindre l’instrument
  --on         allumer l’instrument
  --off        éteindre l’instrument
  --settings   ouvrir la fenêtre des réglages
  --save       enregistrer les cinq dernières minutes jouées dans le dossier Musique
  --at-login   comme lancé par la session à la connexion : sans zone de
               notification, dire où trouver Plinkora dans une notification
               au lieu d’ouvrir sa fenêtre
  --help       afficher ce texte
  --version    afficher la version
</translation>
    </message>
</context>
<context>
    <name>plinkora::GlobalHotKey</name>
    <message>
        <source>Switch Plinkora on or off</source>
        <translation>Allumer ou éteindre Plinkora</translation>
    </message>
</context>
<context>
    <name>plinkora::UpdateInstallation</name>
    <message>
        <source>The update could not be verified and was not installed.</source>
        <translation>La mise à jour n’a pas pu être vérifiée et n’a pas été installée.</translation>
    </message>
    <message>
        <source>The update could not be downloaded.</source>
        <translation>La mise à jour n’a pas pu être téléchargée.</translation>
    </message>
    <message>
        <source>The download is larger than the update feed says.</source>
        <translation>Le téléchargement est plus gros que ce qu’annonce la source.</translation>
    </message>
    <message>
        <source>Verifying the update…</source>
        <translation>Vérification de la mise à jour…</translation>
    </message>
    <message>
        <source>The downloaded file is not the one that was published, so it was deleted.</source>
        <translation>Le fichier téléchargé n’est pas celui qui a été publié ; il a été supprimé.</translation>
    </message>
    <message>
        <source>Installing the update…</source>
        <translation>Installation de la mise à jour…</translation>
    </message>
    <message>
        <source>The update could not be installed.</source>
        <translation>La mise à jour n’a pas pu être installée.</translation>
    </message>
    <message>
        <source>Plinkora %1 has been installed.</source>
        <translation>Plinkora %1 a été installé.</translation>
    </message>
    <message>
        <source>Relaunch Plinkora to start using the new version.</source>
        <translation>Relancez Plinkora pour utiliser la nouvelle version.</translation>
    </message>
    <message>
        <source>The update could not be opened by your software installer.</source>
        <translation>Votre installateur de logiciels n’a pas pu ouvrir la mise à jour.</translation>
    </message>
    <message>
        <source>The verified package is at %1.</source>
        <translation>Le paquet vérifié se trouve dans %1.</translation>
    </message>
    <message>
        <source>Plinkora %1 is ready to install.</source>
        <translation>Plinkora %1 est prêt à être installé.</translation>
    </message>
</context>
<context>
    <name>plinkora::UpdateProgressWindow</name>
    <message>
        <source>Updating Plinkora</source>
        <translation>Mise à jour de Plinkora</translation>
    </message>
    <message>
        <source>Downloading Plinkora %1…</source>
        <translation>Téléchargement de Plinkora %1…</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 sur %2</translation>
    </message>
</context>
<context>
    <name>plinkora::UpdateWindow</name>
    <message>
        <source>Software Update</source>
        <translation>Mise à jour du logiciel</translation>
    </message>
    <message>
        <source>A critical update of Plinkora is available!</source>
        <translation>Une mise à jour importante de Plinkora est disponible !</translation>
    </message>
    <message>
        <source>A new version of Plinkora is available!</source>
        <translation>Une nouvelle version de Plinkora est disponible !</translation>
    </message>
    <message>
        <source>Plinkora %1 is now available—you have %2. Would you like to install it now?</source>
        <translation>Plinkora %1 est disponible – vous avez la version %2. Voulez-vous l’installer maintenant ?</translation>
    </message>
    <message>
        <source>Release Notes:</source>
        <translation>Notes de version :</translation>
    </message>
    <message>
        <source>Loading the release notes…</source>
        <translation>Chargement des notes de version…</translation>
    </message>
    <message>
        <source>This release has no notes.</source>
        <translation>Cette version n’a pas de notes.</translation>
    </message>
    <message>
        <source>Skip This Version</source>
        <translation>Ignorer cette version</translation>
    </message>
    <message>
        <source>Remind Me Later</source>
        <translation>Me le rappeler plus tard</translation>
    </message>
    <message>
        <source>Install Update</source>
        <translation>Installer la mise à jour</translation>
    </message>
    <message>
        <source>The release notes could not be loaded.</source>
        <translation>Les notes de version n’ont pas pu être chargées.</translation>
    </message>
</context>
<context>
    <name>plinkora::ui::KeySection</name>
    <message>
        <source>Key</source>
        <translation>Tonalité</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>Zones</source>
        <translation>Zones</translation>
    </message>
    <message>
        <source>Notes</source>
        <translation>Notes</translation>
    </message>
    <message>
        <source>One octave (8 notes)</source>
        <translation>Une octave (8 notes)</translation>
    </message>
    <message>
        <source>%1 notes</source>
        <translation>%1 notes</translation>
    </message>
    <message>
        <source>The screen is split evenly into the chosen number of zones, playing the %1 scale from the root upwards; one octave runs root to root, more zones keep climbing. Minor is the natural minor. Keys from G up start below middle C so every key sits in the same range.</source>
        <translation>L’écran est partagé à parts égales en autant de zones que choisi, qui jouent la gamme %1 à partir de la tonique en montant ; une octave va de tonique à tonique, les zones suivantes continuent de monter. Mineur désigne le mineur naturel. Les tonalités à partir de sol commencent sous le do central, pour que toutes restent dans la même tessiture.</translation>
    </message>
</context>
<context>
    <name>plinkora::ui::LogoSection</name>
    <message>
        <source>Lid Logo</source>
        <translation>Logo du capot</translation>
    </message>
    <message>
        <source>Not installed</source>
        <translation>Non installé</translation>
    </message>
    <message>
        <source>Installed and running</source>
        <translation>Installé et actif</translation>
    </message>
    <message>
        <source>Installed, but this computer has no lid-logo light</source>
        <translation>Installé, mais cet ordinateur n’a pas de logo lumineux</translation>
    </message>
    <message>
        <source>Waiting for the administrator password…</source>
        <translation>En attente du mot de passe administrateur…</translation>
    </message>
    <message>
        <source>Installed, not running</source>
        <translation>Installé, inactif</translation>
    </message>
    <message>
        <source>Pulse the logo on the lid</source>
        <translation>Faire pulser le logo du capot</translation>
    </message>
    <message>
        <source>This computer lets Plinkora switch the lid logo&apos;s light itself: no helper is needed.</source>
        <translation>Cet ordinateur laisse Plinkora allumer lui-même le logo du capot : aucun assistant n’est nécessaire.</translation>
    </message>
    <message>
        <source>Helper</source>
        <translation>Assistant</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Actualiser</translation>
    </message>
    <message>
        <source>Linux lets only the administrator switch the lid logo&apos;s light, so installing the helper asks for an administrator password. The helper is a tiny system service that switches the light on request. With pulsing on, the logo rests dark while Plinkora is on, lights the instant a note is struck and goes dark again as the note starts to fade, so a longer Note length keeps it lit longer. The light can only be switched on or off, so it switches rather than fades. It is left lit when Plinkora is turned off or quits.</source>
        <translation>Sous Linux, seul l’administrateur peut allumer le logo du capot ; installer l’assistant demande donc un mot de passe administrateur. L’assistant est un minuscule service système qui allume la lumière sur demande. Avec la pulsation, le logo reste éteint tant que Plinkora est allumé, s’allume dès qu’une note est jouée et s’éteint quand la note commence à s’estomper ; une durée de note plus longue le garde donc allumé plus longtemps. La lumière ne peut qu’être allumée ou éteinte : elle bascule au lieu de s’estomper. Elle reste allumée quand Plinkora est éteint ou quitté.</translation>
    </message>
    <message>
        <source>Pulsing the lid logo needs a small helper that the sandboxed version of Plinkora isn&apos;t allowed to install. The free download from plinkora.org includes it.</source>
        <translation>Faire pulser le logo du capot demande un petit assistant que la version isolée de Plinkora n’a pas le droit d’installer. Le téléchargement gratuit sur plinkora.org l’inclut.</translation>
    </message>
    <message>
        <source>Get the plinkora.org version</source>
        <translation>Obtenir la version de plinkora.org</translation>
    </message>
    <message>
        <source>On a laptop with a lit logo on its lid, the direct-download version can light the logo on each note.</source>
        <translation>Sur un portable au logo lumineux, la version téléchargée directement peut allumer le logo à chaque note.</translation>
    </message>
    <message>
        <source>Uninstall Helper…</source>
        <translation>Désinstaller l’assistant…</translation>
    </message>
    <message>
        <source>Install Helper…</source>
        <translation>Installer l’assistant…</translation>
    </message>
</context>
<context>
    <name>plinkora::ui::MenuContent</name>
    <message>
        <source>Plinkora On</source>
        <translation>Plinkora allumé</translation>
    </message>
    <message>
        <source>Toggle anywhere with Ctrl+Alt+Super+M</source>
        <translation>Basculer partout avec Ctrl+Alt+Super+M</translation>
    </message>
    <message>
        <source>Orientation</source>
        <translation>Orientation</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>Show Note Lines</source>
        <translation>Afficher les lignes des notes</translation>
    </message>
    <message>
        <source>Pulse Lid Logo</source>
        <translation>Faire pulser le logo</translation>
    </message>
    <message>
        <source>Settings…</source>
        <translation>Réglages…</translation>
    </message>
    <message>
        <source>Check for Updates…</source>
        <translation>Rechercher des mises à jour…</translation>
    </message>
    <message>
        <source>Quit Plinkora</source>
        <translation>Quitter Plinkora</translation>
    </message>
    <message>
        <source>Save What I Just Played</source>
        <translation>Enregistrer ce que je viens de jouer</translation>
    </message>
</context>
<context>
    <name>plinkora::ui::PlayingSection</name>
    <message>
        <source>Playing</source>
        <translation>Jeu</translation>
    </message>
    <message>
        <source>Plinkora On</source>
        <translation>Plinkora allumé</translation>
    </message>
    <message>
        <source>For every window, add this line to your sway or i3 configuration:</source>
        <translation>Pour toutes les fenêtres, ajoutez cette ligne à votre configuration de sway ou d’i3 :</translation>
    </message>
    <message>
        <source>Ctrl+Alt+Super+M</source>
        <translation>Ctrl+Alt+Super+M</translation>
    </message>
    <message>
        <source>Ctrl+Alt+Super+M, only while an X11 window is in front</source>
        <translation>Ctrl+Alt+Super+M, seulement quand une fenêtre X11 est au premier plan</translation>
    </message>
    <message>
        <source>Ctrl+Alt+Super+M is taken by another application</source>
        <translation>Ctrl+Alt+Super+M est pris par une autre application</translation>
    </message>
    <message>
        <source>Not bound.</source>
        <translation>Non attribué.</translation>
    </message>
    <message>
        <source>Not bound: have your desktop run &quot;plinkora --toggle&quot; for a key</source>
        <translation>Non attribué : faites exécuter «&#xa0;plinkora --toggle&#xa0;» par votre bureau pour une touche</translation>
    </message>
    <message>
        <source>Keyboard shortcut</source>
        <translation>Raccourci clavier</translation>
    </message>
    <message>
        <source>Remove from GNOME Keyboard Shortcuts</source>
        <translation>Retirer des raccourcis clavier de GNOME</translation>
    </message>
    <message>
        <source>Add to GNOME Keyboard Shortcuts</source>
        <translation>Ajouter aux raccourcis clavier de GNOME</translation>
    </message>
    <message>
        <source>Orientation</source>
        <translation>Orientation</translation>
    </message>
    <message>
        <source>Dynamics</source>
        <translation>Nuances</translation>
    </message>
    <message>
        <source>Show note separator lines</source>
        <translation>Afficher les lignes entre les notes</translation>
    </message>
    <message>
        <source>Launch at login</source>
        <translation>Lancer à la connexion</translation>
    </message>
    <message>
        <source>While on, the whole built-in screen is divided into note zones playing the chosen scale upwards from its root, low notes first. Several fingers play a chord, and sliding across a boundary plays the next note. Content under the overlay is not clickable until you turn Plinkora off.</source>
        <translation>Une fois allumé, tout l’écran intégré est divisé en zones de notes qui jouent la gamme choisie à partir de sa tonique, les notes graves d’abord. Plusieurs doigts jouent un accord, et glisser d’une zone à l’autre joue la note suivante. Ce qui se trouve sous la surface n’est plus cliquable tant que Plinkora reste allumé.</translation>
    </message>
    <message>
        <source>Note length</source>
        <translation>Durée des notes</translation>
    </message>
    <message>
        <source>Short</source>
        <translation>Courte</translation>
    </message>
    <message>
        <source>Long</source>
        <translation>Longue</translation>
    </message>
    <message>
        <source>How long each note sustains and then fades away.</source>
        <translation>Combien de temps chaque note tient puis s’estompe.</translation>
    </message>
    <message>
        <source>MIDI output</source>
        <translation>Sortie MIDI</translation>
    </message>
    <message>
        <source>Sends every note to a MIDI port named &quot;Plinkora&quot; (JACK or ALSA)</source>
        <translation>Envoie chaque note vers un port MIDI nommé « Plinkora » (JACK ou ALSA)</translation>
    </message>
    <message>
        <source>Play built-in sound</source>
        <translation>Jouer le son intégré</translation>
    </message>
    <message>
        <source>Sound</source>
        <translation>Son</translation>
    </message>
    <message>
        <source>Sound bank</source>
        <translation>Banque de sons</translation>
    </message>
    <message>
        <source>Choose…</source>
        <translation>Choisir…</translation>
    </message>
    <message>
        <source>Use System Bank</source>
        <translation>Banque du système</translation>
    </message>
    <message>
        <source>System General MIDI</source>
        <translation>General MIDI du système</translation>
    </message>
    <message>
        <source>Choose a Sound Bank</source>
        <translation>Choisir une banque de sons</translation>
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
        <translation>Réglages de Plinkora</translation>
    </message>
    <message>
        <source>Quit Plinkora</source>
        <translation>Quitter Plinkora</translation>
    </message>
</context>
<context>
    <name>plinkora::ui::StatusSection</name>
    <message>
        <source>Status</source>
        <translation>État</translation>
    </message>
    <message>
        <source>Touchscreen</source>
        <translation>Écran tactile</translation>
    </message>
    <message>
        <source>Piano</source>
        <translation>Piano</translation>
    </message>
    <message>
        <source>Audio engine</source>
        <translation>Moteur audio</translation>
    </message>
    <message>
        <source>Audio output</source>
        <translation>Sortie audio</translation>
    </message>
    <message>
        <source>Last input</source>
        <translation>Dernière entrée</translation>
    </message>
    <message>
        <source>Last touch</source>
        <translation>Dernier toucher</translation>
    </message>
    <message>
        <source>Notes play through the computer&apos;s current default output, and follow it when it changes. Last input shows whether the most recent note came from a finger on the screen or from a click, with the note it played.</source>
        <translation>Les notes sortent par la sortie audio par défaut de l’ordinateur et la suivent quand elle change. Dernière entrée indique si la note la plus récente vient d’un doigt sur l’écran ou d’un clic, avec la note jouée.</translation>
    </message>
    <message>
        <source>Detected</source>
        <translation>Détecté</translation>
    </message>
    <message>
        <source>Not detected (clicks and drags still play)</source>
        <translation>Non détecté (clics et glissés jouent quand même)</translation>
    </message>
    <message>
        <source>System grand piano loaded</source>
        <translation>Piano à queue du système chargé</translation>
    </message>
    <message>
        <source>Not loaded</source>
        <translation>Non chargé</translation>
    </message>
    <message>
        <source>Running</source>
        <translation>En marche</translation>
    </message>
    <message>
        <source>Not running</source>
        <translation>Arrêté</translation>
    </message>
    <message>
        <source>Idle until Plinkora is on</source>
        <translation>En attente jusqu’à ce que Plinkora soit allumé</translation>
    </message>
</context>
<context>
    <name>plinkora::ui::UpdatesSection</name>
    <message>
        <source>Updates</source>
        <translation>Mises à jour</translation>
    </message>
    <message>
        <source>Check for updates automatically</source>
        <translation>Rechercher automatiquement les mises à jour</translation>
    </message>
    <message>
        <source>Check for Updates…</source>
        <translation>Rechercher des mises à jour…</translation>
    </message>
    <message>
        <source>Updates come from plinkora.org and are verified before they install.</source>
        <translation>Les mises à jour viennent de plinkora.org et sont vérifiées avant d’être installées.</translation>
    </message>
    <message>
        <source>Updates are not available in this build.</source>
        <translation>Les mises à jour ne sont pas disponibles dans cette version.</translation>
    </message>
    <message>
        <source>Your desktop&apos;s software manager keeps this version of Plinkora up to date.</source>
        <translation>Le gestionnaire de logiciels de votre bureau tient cette version de Plinkora à jour.</translation>
    </message>
</context>
<context>
    <name>plinkora::ui::UserInterface</name>
    <message>
        <source>Plinkora is running</source>
        <translation>Plinkora est lancé</translation>
    </message>
    <message>
        <source>This desktop shows no tray icon. Run &quot;plinkora --settings&quot; to open the settings, or press Ctrl+Alt+Super+M to switch Plinkora on and off.</source>
        <translation>Ce bureau n’affiche pas d’icône de notification. Lancez «&#xa0;plinkora --settings&#xa0;» pour ouvrir les réglages, ou appuyez sur Ctrl+Alt+Super+M pour allumer et éteindre Plinkora.</translation>
    </message>
    <message>
        <source>Plinkora is on</source>
        <translation>Plinkora est allumé</translation>
    </message>
    <message>
        <source>Plinkora is off</source>
        <translation>Plinkora est éteint</translation>
    </message>
</context>
</TS>
