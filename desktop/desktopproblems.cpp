#include "desktopproblems.h"

#include <QCoreApplication>

namespace {

struct ProblemTexts
{
    DesktopProblem problem;
    const char *line;    // standard error, English
    const char *message; // message box, French source of the catalogs
};

const ProblemTexts problemTexts[] = {
    {DesktopProblem::NoPortal,
     "the screen-sharing portal (org.freedesktop.portal.ScreenCast) is not on this session's bus, so the "
     "screen cannot be read: install xdg-desktop-portal with your desktop's backend, or log in to an X11 session",
     QT_TRANSLATE_NOOP("Vikaro", "Le portail de partage d'écran n'est pas disponible dans cette session : "
                                 "l'écran ne peut pas être lu. Installez xdg-desktop-portal avec le module de "
                                 "votre bureau, ou ouvrez une session X11.")},
    {DesktopProblem::Refused,
     "screen sharing was refused, so the screen cannot be read: start the magnifier again and allow sharing "
     "all screens",
     QT_TRANSLATE_NOOP("Vikaro", "Le partage de l'écran a été refusé : l'écran ne peut pas être lu. Relancez "
                                 "la loupe et autorisez le partage de tous les écrans.")},
    {DesktopProblem::PortalFailed,
     "the screen-sharing portal could not start a session, so the screen cannot be read: start the magnifier "
     "again, or log in to an X11 session",
     QT_TRANSLATE_NOOP("Vikaro", "Le portail de partage d'écran n'a pas pu ouvrir de session : l'écran ne peut "
                                 "pas être lu. Relancez la loupe, ou ouvrez une session X11.")},
    {DesktopProblem::StreamEnded,
     "screen sharing has ended (the desktop stopped it or went away), so the picture is no longer updated: "
     "start the magnifier again",
     QT_TRANSLATE_NOOP("Vikaro", "Le partage de l'écran s'est arrêté (le bureau l'a interrompu ou s'est "
                                 "fermé) : l'image n'est plus mise à jour. Relancez la loupe.")},
    {DesktopProblem::NoCursorMetadata,
     "this desktop's screen-sharing portal does not give the pointer's position (no cursor metadata), so the "
     "magnifier cannot follow the pointer: use a GNOME or KDE Wayland session, or log in to an X11 session",
     QT_TRANSLATE_NOOP("Vikaro", "Le portail de partage d'écran de ce bureau ne donne pas la position du "
                                 "pointeur : la loupe ne peut pas le suivre. Utilisez une session Wayland GNOME "
                                 "ou KDE, ou ouvrez une session X11.")},
    {DesktopProblem::NoPointerMoves,
     "this desktop does not let the magnifier move the pointer (no remote-desktop portal, or remote interaction "
     "not allowed), so the arrow keys cannot move it: allow remote interaction in the sharing dialog and start "
     "the magnifier again, or log in to an X11 session",
     QT_TRANSLATE_NOOP("Vikaro", "Ce bureau ne permet pas à la loupe de déplacer le pointeur (pas de portail "
                                 "de bureau à distance, ou interaction à distance non autorisée) : les flèches "
                                 "ne le déplacent pas. Autorisez l'interaction à distance dans la fenêtre de "
                                 "partage et relancez la loupe, ou ouvrez une session X11.")},
    {DesktopProblem::NoPictures,
     "the desktop shares the screen but sends no usable pictures of it, so the magnifier has nothing to show: "
     "start the magnifier again, or log in to an X11 session",
     QT_TRANSLATE_NOOP("Vikaro", "Le bureau partage l'écran mais n'en envoie aucune image : la loupe n'a rien "
                                 "à montrer. Relancez la loupe, ou ouvrez une session X11.")},
    {DesktopProblem::PortalSlow,
     "the screen-sharing portal is there but did not answer in time, so the screen cannot be read: start the "
     "magnifier again once the desktop has settled, or log in to an X11 session",
     QT_TRANSLATE_NOOP("Vikaro", "Le portail de partage d'écran n'a pas répondu à temps : l'écran ne peut pas "
                                 "être lu. Relancez la loupe une fois le bureau prêt, ou ouvrez une session X11.")},
    {DesktopProblem::NoPortalSupport,
     "this is a Wayland session and this build of the magnifier cannot use the screen-sharing portal (built "
     "without PipeWire or Qt DBus), so the screen cannot be read: install a build with them, or log in to an "
     "X11 session",
     QT_TRANSLATE_NOOP("Vikaro", "Cette session Wayland demande le portail de partage d'écran, que cette "
                                 "version de la loupe ne sait pas utiliser : l'écran ne peut pas être lu. "
                                 "Installez une version qui le prend en charge, ou ouvrez une session X11.")},
    {DesktopProblem::PointerUnknown,
     "the desktop shares the screen but does not say where the pointer is (it may be on a monitor that is not "
     "shared), so the magnifier cannot follow it: move the pointer onto a shared monitor, or start the magnifier "
     "again and share every monitor",
     QT_TRANSLATE_NOOP("Vikaro", "Le bureau partage l'écran mais ne dit pas où est le pointeur (il est peut-être "
                                 "sur un écran non partagé) : la loupe ne peut pas le suivre. Amenez le pointeur "
                                 "sur un écran partagé, ou relancez la loupe et partagez tous les écrans.")},
};

const ProblemTexts &textsOf(DesktopProblem problem)
{
    for (const ProblemTexts &texts : problemTexts)
        if (texts.problem == problem)
            return texts;
    return problemTexts[0];
}

} // namespace

const char *problemLine(DesktopProblem problem)
{
    return textsOf(problem).line;
}

QString problemText(DesktopProblem problem)
{
    return QCoreApplication::translate("Vikaro", textsOf(problem).message);
}
