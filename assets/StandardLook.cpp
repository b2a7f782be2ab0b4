#include "assets/StandardLook.h"

QStringList StandardLook::allPictures()
{
    QStringList pictures{MainBackground, OptionsBackground, InfoBackground, Logo,
                         DragHandle,     LedUnlit,          LedLit};
    for (const QString &button : {SendButton, OptionsButton, OkButton, MinimizeButton, CloseButton})
        pictures << up(button) << over(button) << down(button);
    pictures << disabled(SendButton);
    return pictures;
}
