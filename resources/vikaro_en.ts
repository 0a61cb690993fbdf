<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="fr_FR">
<context>
    <name>CAboutDlg</name>
    <message>
        <source>A propos de 'Vikaro':</source>
        <translation>About... 'Vikaro':</translation>
    </message>
    <message>
        <source>Vikaro a été conçu et écrit par l'équipe de l'Atelier Lentara.</source>
        <translation>Vikaro was designed and written by the Atelier Lentara team.</translation>
    </message>
</context>
<context>
    <name>CHelpDlg</name>
    <message>
        <source>Les raccourcis clavier de 'Vikaro':</source>
        <translation>Keyboard shortcuts used by 'Vikaro':</translation>
    </message>
    <message>
        <source>D/X: Copie le code de la couleur en Décimal/heXa dans le presse-papiers.</source>
        <translation>D/X: Copy the color code in Decimal/heXadecimal in the clipboard.</translation>
    </message>
    <message>
        <source>F/U: Freeze/UnFreeze le zoom.</source>
        <translation>F/U: Freeze/UnFreeze the zoom.</translation>
    </message>
    <message>
        <source>G: Propose une nouvelle 'mire' pour mieux localiser le pixel central.</source>
        <translation>G: Propose a new sight, to better see which pixel is the central one.</translation>
    </message>
    <message>
        <source>/ *: Diminue ou augmente le facteur de zoom.</source>
        <translation>/ *: Decrease/Increase the zoom factor.</translation>
    </message>
    <message>
        <source>   La roulette de la souris sert aussi à changer le facteur de zoom.</source>
        <translation>The mouse wheelcan also be used to change the zoom factor.</translation>
    </message>
    <message>
        <source>Flèches de direction: positionnement précis du zoom.</source>
        <translation>Keyboard arrows let you position precisely the zoom.</translation>
    </message>
    <message>
        <source>   Le clavier numérique peut aussi servir au positionnement du zoom.</source>
        <translation>The numeric keypad can also be used to position the zoom.</translation>
    </message>
    <message>
        <source>Ins: Positionne l'ancre 0,0 au point actuel pour pouvoir mesurer.</source>
        <translation>Ins: Position the 0,0 anchor at the current position, to do some measurements.</translation>
    </message>
    <message>
        <source>Del: Désactive l'ancre, et reprend le positionnement absolu par écran.</source>
        <translation>Del: Deactivate the relative anchor, and go back the absolute screen positionning.</translation>
    </message>
    <message>
        <source>F1-12: Mémorise la couleur actuelle à l'aide des touches de fonction.</source>
        <translation>F1-12: Memorize the current color, using function keyboard keys.</translation>
    </message>
    <message>
        <source>Cette fenêtre peut rester ouverte, afin de tester les actions ci-dessus.</source>
        <translation>This help window can stay open, so you can test the above actions.</translation>
    </message>
</context>
<context>
    <name>COptionsDlg</name>
    <message>
        <source>Préférences de l'utilisateur:</source>
        <translation>User preferences:</translation>
    </message>
    <message>
        <source>Couleurs mémorisées (F1-F10) en Hexadecimal (sinon décimal)</source>
        <translation>Memorized colors (F1-F10) in Hexadecimal else in décimal)</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Cette langue n'est pas encore disponible.</source>
        <translation>This language is not available yet.</translation>
    </message>
    <message>
        <source>Vikaro info:</source>
        <translation>Vikaro info:</translation>
    </message>
</context>
<context>
    <name>Vikaro</name>
    <message>
        <source>Couleur du pixel actif en hexadécimal</source>
        <translation>Current pixel color in hexadecimal</translation>
    </message>
    <message>
        <source>Couleur du pixel actif en décimal</source>
        <translation>Current pixel color in decimal</translation>
    </message>
    <message>
        <source>Échantillon de la couleur du pixel actif (8 bits)</source>
        <translation>Swatch of the current pixel color (8 bits)</translation>
    </message>
    <message>
        <source>Échantillon de la couleur du pixel actif (4 bits)</source>
        <translation>Swatch of the current pixel color (4 bits)</translation>
    </message>
    <message>
        <source>Image agrandie autour du pointeur</source>
        <translation>Magnified picture around the pointer</translation>
    </message>
    <message>
        <source>Position du pixel actif</source>
        <translation>Current pixel position</translation>
    </message>
    <message>
        <source> gelé ! (U pour dégeler)</source>
        <translation>frozen ! (U to Unfreeze)</translation>
    </message>
    <message>
        <source>!!! Aucune couleur&lt;br/&gt;n'a été sauvée dans le presse-papiers !!!</source>
        <translation>!!! No color&lt;br/&gt;have been saved to the clipboard !!!</translation>
    </message>
    <message>
        <source>A propos de Vikaro...</source>
        <translation>About Vikaro...</translation>
    </message>
    <message>
        <source>Aide, raccourcis clavier...</source>
        <translation>Help, keyboard shortcuts...</translation>
    </message>
    <message>
        <source>Cacher les couleurs mémorisées.</source>
        <translation>Hide the memorized colors.</translation>
    </message>
    <message>
        <source>La couleur mémorisée n° %1</source>
        <translation>Memorized color n° %1</translation>
    </message>
    <message>
        <source>La touche de fonction qui mémorisera la couleur actuelle</source>
        <translation>The function key to use to memorize the current color</translation>
    </message>
    <message>
        <source>Vikaro</source>
        <translation>Vikaro</translation>
    </message>
    <message>
        <source>Les couleurs ci-dessus&lt;br/&gt;mémorisées grâce aux&lt;br/&gt;touches de fonction F1 à F12&lt;br/&gt;seront sauvées&lt;br/&gt;dans le presse-papiers</source>
        <translation>The above colors&lt;br/&gt;memorized by&lt;br/&gt;function keys F1 to F12&lt;br/&gt;will be saved&lt;br/&gt;into the clipboard</translation>
    </message>
    <message>
        <source>Les couleurs suivantes&lt;br/&gt;ont été copiées dans le presse-papiers.</source>
        <translation>The following colors&lt;br/&gt;were copied to the clipboard.</translation>
    </message>
    <message>
        <source>Montrer les couleurs mémorisées.</source>
        <translation>Show the memorized colors.</translation>
    </message>
    <message>
        <source>Positionnement du pixel actif:
Absolu: [Moniteur] X , Y
Relatif: X , Y</source>
        <translation>Current pixel position:
Absolute: [Monior] X , Y
Relative: X , Y</translation>
    </message>
    <message>
        <source>Sauver ces couleurs</source>
        <translation>Save those colors</translation>
    </message>
    <message>
        <source>Valeur RGB en décimal de la couleur du pixel actif.</source>
        <translation>RGB decimal color value of the current pixel.</translation>
    </message>
    <message>
        <source>Valeur RGB en hexadécimal de la couleur du pixel actif.</source>
        <translation>RGB hexadecimal color value of the current pixel.</translation>
    </message>
    <message>
        <source>dans le presse-papiers</source>
        <translation>into the clipboard</translation>
    </message>
    <message>
        <source>Le portail de partage d'écran n'est pas disponible dans cette session : l'écran ne peut pas être lu. Installez xdg-desktop-portal avec le module de votre bureau, ou ouvrez une session X11.</source>
        <translation>The screen-sharing portal is not available in this session: the screen cannot be read. Install xdg-desktop-portal with your desktop's backend, or log in to an X11 session.</translation>
    </message>
    <message>
        <source>Le partage de l'écran a été refusé : l'écran ne peut pas être lu. Relancez la loupe et autorisez le partage de tous les écrans.</source>
        <translation>Screen sharing was refused: the screen cannot be read. Start the magnifier again and allow sharing all screens.</translation>
    </message>
    <message>
        <source>Le portail de partage d'écran n'a pas pu ouvrir de session : l'écran ne peut pas être lu. Relancez la loupe, ou ouvrez une session X11.</source>
        <translation>The screen-sharing portal could not start a session: the screen cannot be read. Start the magnifier again, or log in to an X11 session.</translation>
    </message>
    <message>
        <source>Le partage de l'écran s'est arrêté (le bureau l'a interrompu ou s'est fermé) : l'image n'est plus mise à jour. Relancez la loupe.</source>
        <translation>Screen sharing has ended (the desktop stopped it or went away): the picture is no longer updated. Start the magnifier again.</translation>
    </message>
    <message>
        <source>Le portail de partage d'écran de ce bureau ne donne pas la position du pointeur : la loupe ne peut pas le suivre. Utilisez une session Wayland GNOME ou KDE, ou ouvrez une session X11.</source>
        <translation>This desktop's screen-sharing portal does not give the pointer's position: the magnifier cannot follow it. Use a GNOME or KDE Wayland session, or log in to an X11 session.</translation>
    </message>
    <message>
        <source>Ce bureau ne permet pas à la loupe de déplacer le pointeur (pas de portail de bureau à distance, ou interaction à distance non autorisée) : les flèches ne le déplacent pas. Autorisez l'interaction à distance dans la fenêtre de partage et relancez la loupe, ou ouvrez une session X11.</source>
        <translation>This desktop does not let the magnifier move the pointer (no remote-desktop portal, or remote interaction not allowed): the arrow keys do not move it. Allow remote interaction in the sharing dialog and start the magnifier again, or log in to an X11 session.</translation>
    </message>
    <message>
        <source>Le bureau partage l'écran mais n'en envoie aucune image : la loupe n'a rien à montrer. Relancez la loupe, ou ouvrez une session X11.</source>
        <translation>The desktop shares the screen but sends no pictures of it: the magnifier has nothing to show. Start the magnifier again, or log in to an X11 session.</translation>
    </message>
    <message>
        <source>Le portail de partage d'écran n'a pas répondu à temps : l'écran ne peut pas être lu. Relancez la loupe une fois le bureau prêt, ou ouvrez une session X11.</source>
        <translation>The screen-sharing portal did not answer in time: the screen cannot be read. Start the magnifier again once the desktop has settled, or log in to an X11 session.</translation>
    </message>
    <message>
        <source>Cette session Wayland demande le portail de partage d'écran, que cette version de la loupe ne sait pas utiliser : l'écran ne peut pas être lu. Installez une version qui le prend en charge, ou ouvrez une session X11.</source>
        <translation>This Wayland session needs the screen-sharing portal, which this build of the magnifier cannot use: the screen cannot be read. Install a build that supports it, or log in to an X11 session.</translation>
    </message>
    <message>
        <source>Le bureau partage l'écran mais ne dit pas où est le pointeur (il est peut-être sur un écran non partagé) : la loupe ne peut pas le suivre. Amenez le pointeur sur un écran partagé, ou relancez la loupe et partagez tous les écrans.</source>
        <translation>The desktop shares the screen but does not say where the pointer is (it may be on a monitor that is not shared): the magnifier cannot follow it. Move the pointer onto a shared monitor, or start the magnifier again and share every monitor.</translation>
    </message>
</context>
</TS>
