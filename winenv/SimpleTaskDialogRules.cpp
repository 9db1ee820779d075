#include "winenv/SimpleTaskDialogRules.h"

namespace dupd {

int MapTaskDialogButton(int pressed)
{
    switch (pressed) {
    case 2: return 2;  // IDCANCEL
    case 4: return 4;  // IDRETRY
    case 6: return 6;  // IDYES
    case 7: return 7;  // IDNO
    case 8: return 3;  // IDCLOSE
    default: return 1;
    }
}

}  // namespace dupd
