// Temporary: sending and the options window are built on another branch. These empty
// definitions let this branch link; they go when that work is merged.
#include "app/MessagerQ.h"

void TForm1::SendButtonClick()
{
}

void TForm1::Button1Click()
{
}
